// Runs the autostart component the way the user who starts this program sees it:
// AutostartAsUser USER_FOLDER MACHINE_FOLDER EXECUTABLE switches autostart on, asks for
// all-users entries and prints what it got.
#include "desktop/TLumbrinAutostart.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 4)
        return 2;
    pw::platform::RegistryRoots::UserFolder = QString::fromLocal8Bit(argv[1]);
    pw::platform::RegistryRoots::MachineFolder = QString::fromLocal8Bit(argv[2]);
    pw::desktop::TLumbrinAutostart::TFirstWrite done{false};
    pw::desktop::TLumbrinAutostart autoStart(QString::fromLocal8Bit(argv[3]), done);
    autoStart.SetAppName(QStringLiteral("Panelwick"));
    autoStart.SetAutostart(true);
    autoStart.SetGlobal(true);
    std::printf("global=%d autostart=%d\n", autoStart.Global(), autoStart.autostart());
    return 0;
}
