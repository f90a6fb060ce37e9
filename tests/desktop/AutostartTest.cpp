#include "TemporaryRegistry.h"

#include "desktop/TLumbrinAutostart.h"
#include "platform/TRegistry.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace pw;
using desktop::TLumbrinAutostart;

namespace {

QByteArray Read(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void Write(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

bool Validates(const QString& path, std::string* output)
{
    QProcess validate;
    validate.start("desktop-file-validate", {path});
    if (!validate.waitForFinished(10000))
        return false;
    *output = validate.readAllStandardOutput().toStdString();
    return validate.exitCode() == 0 && output->empty();
}

struct Autostart : ::testing::Test {
    test::TemporaryRegistry roots;
    QString user = roots.User();
    QString machine = roots.Machine();

    QString Entry(const QString& root, const QString& file = "panelwick-autostart.desktop") const
    {
        return root + "/autostart/" + file;
    }
    // What the program does when its window is made.
    static void ProgramStart(TLumbrinAutostart& a)
    {
        a.SetAppName("Panelwick");
        a.SetAutostart(true);
        a.SetStartNextLogon(false);
        a.SetGlobal(false);
    }
};

TEST_F(Autostart, TheFirstWriteKeepsTheStateAndFollowsAMovedExecutable)
{
    // First start: no entry, and making the window adds none.
    TLumbrinAutostart::TFirstWrite firstRun;
    TLumbrinAutostart first("/opt/old place/panelwick", firstRun);
    EXPECT_EQ(first.appName(), QCoreApplication::applicationName() + "#Autostart");
    ProgramStart(first);
    EXPECT_FALSE(first.autostart());
    EXPECT_FALSE(QFile::exists(Entry(user)));
    EXPECT_TRUE(QDir(machine).isEmpty()); // nothing machine-wide, even for a user who may write there
    // The settings dialog's OK switches it on.
    first.SetAutostart(true);
    EXPECT_TRUE(first.autostart());
    EXPECT_TRUE(Read(Entry(user)).contains("Exec=\"/opt/old place/panelwick\"\n"));
    first.SetStartNextLogon(true);
    EXPECT_TRUE(first.StartNextLogon());

    // Next start from another folder: the entry follows, the RunOnce entry goes.
    TLumbrinAutostart::TFirstWrite secondRun;
    TLumbrinAutostart second("/srv/moved/panelwick", secondRun);
    ProgramStart(second);
    EXPECT_TRUE(second.autostart());
    EXPECT_FALSE(second.StartNextLogon());
    EXPECT_FALSE(QFile::exists(Entry(user, "panelwick-runonce.desktop")));
    EXPECT_TRUE(Read(Entry(user)).contains("Exec=\"/srv/moved/panelwick\"\n"));

    // Switching off removes the entry and leaves the folder.
    second.SetAutostart(false);
    EXPECT_FALSE(second.autostart());
    EXPECT_FALSE(QFile::exists(Entry(user)));
    EXPECT_TRUE(QDir(user + "/autostart").exists());
}

TEST_F(Autostart, AnEntryTheDesktopSwitchedOffStaysAsItIsUntilTheUserSwitchesItOn)
{
    // How the desktops' session settings switch an entry off in the user's copy, with
    // keys of their own beside; and the line that switches it on again.
    struct DesktopEdit {
        const char* desktop;
        std::function<QByteArray(const QByteArray&)> edit;
        QByteArray off, on;
    };
    const DesktopEdit edits[] = {
        {"Xfce", [](const QByteArray& e) { return e + "Hidden=true\nX-XFCE-Autostart-Override=true\n"; },
         "Hidden=true", "Hidden=false"},
        {"LXQt", [](const QByteArray& e) { return e + "Hidden=true\n"; }, "Hidden=true", "Hidden=false"},
        {"GNOME",
         [](const QByteArray& e) {
             return QByteArray(e).replace("[Desktop Entry]\n",
                                          "[Desktop Entry]\nX-GNOME-Autostart-enabled=false\n") +
                    "Name[de]=Panelwick Comics\n";
         },
         "X-GNOME-Autostart-enabled=false", "X-GNOME-Autostart-enabled=true"},
        {"MATE",
         [](const QByteArray& e) {
             return "# edited by the desktop\n" + e +
                    "X-MATE-Autostart-enabled=false\nX-MATE-Autostart-Delay=0\n";
         },
         "X-MATE-Autostart-enabled=false", "X-MATE-Autostart-enabled=true"},
    };
    const QByteArray oldExec = "Exec=\"/opt/old place/panelwick\"\n";
    const QByteArray newExec = "Exec=\"/srv/moved/panelwick\"\n";
    for (const DesktopEdit& d : edits) {
        SCOPED_TRACE(d.desktop);
        TLumbrinAutostart::TFirstWrite firstRun;
        TLumbrinAutostart first("/opt/old place/panelwick", firstRun);
        ProgramStart(first);
        first.SetAutostart(true); // the settings dialog's OK
        ASSERT_TRUE(Read(Entry(user)).contains(oldExec));
        const QByteArray off = d.edit(Read(Entry(user)));
        Write(Entry(user), off);

        // The next start, from another folder, neither deletes nor rewrites it.
        TLumbrinAutostart::TFirstWrite secondRun;
        TLumbrinAutostart second("/srv/moved/panelwick", secondRun);
        ProgramStart(second);
        EXPECT_EQ(Read(Entry(user)), off);
        EXPECT_FALSE(second.autostart());
        EXPECT_TRUE(second.SwitchedOffByDesktop());
        second.SetAutostart(false); // the dialog confirmed with the box off
        EXPECT_EQ(Read(Entry(user)), off);

        // The user switches it on: the keys get their enabled values, and every other line
        // the desktop wrote stays.
        second.SetAutostart(true);
        const QByteArray on = Read(Entry(user));
        EXPECT_TRUE(second.autostart());
        EXPECT_FALSE(second.SwitchedOffByDesktop());
        EXPECT_FALSE(on.contains(d.off)) << on.toStdString();
        EXPECT_EQ(QByteArray(on).replace(d.on, d.off).replace(newExec, oldExec), off) << on.toStdString();
        std::string problems;
        EXPECT_TRUE(Validates(Entry(user), &problems)) << problems;

        // And it stays on at the start after.
        TLumbrinAutostart::TFirstWrite thirdRun;
        TLumbrinAutostart third("/srv/moved/panelwick", thirdRun);
        ProgramStart(third);
        EXPECT_TRUE(third.autostart());
        EXPECT_EQ(Read(Entry(user)), on);

        second.SetAutostart(false);
        EXPECT_FALSE(QFile::exists(Entry(user)));
    }

    // Switched on by the desktop itself: on, and its keys stay when the path follows.
    TLumbrinAutostart::TFirstWrite firstRun;
    TLumbrinAutostart first("/opt/old place/panelwick", firstRun);
    ProgramStart(first);
    first.SetAutostart(true);
    const QByteArray desktopOn = Read(Entry(user)) + "Hidden=false\nX-GNOME-Autostart-enabled=true\n";
    Write(Entry(user), desktopOn);
    TLumbrinAutostart::TFirstWrite secondRun;
    TLumbrinAutostart second("/srv/moved/panelwick", secondRun);
    ProgramStart(second);
    EXPECT_TRUE(second.autostart());
    EXPECT_FALSE(second.SwitchedOffByDesktop());
    EXPECT_EQ(Read(Entry(user)), QByteArray(desktopOn).replace(oldExec, newExec));
}

TEST_F(Autostart, RenamingMovesTheEntriesAndIgnoresCase)
{
    TLumbrinAutostart::TFirstWrite done{false};
    TLumbrinAutostart a("/opt/pw/panelwick", done);
    a.SetAppName("Panelwick#Autostart");
    a.SetAutostart(true);
    a.SetStartNextLogon(true);
    ASSERT_TRUE(QFile::exists(Entry(user, "panelwick-23autostart-autostart.desktop")));

    a.SetAppName("Panelwick");
    EXPECT_EQ(a.appName(), "Panelwick");
    EXPECT_FALSE(QFile::exists(Entry(user, "panelwick-23autostart-autostart.desktop")));
    EXPECT_FALSE(QFile::exists(Entry(user, "panelwick-23autostart-runonce.desktop")));
    EXPECT_TRUE(a.autostart());
    EXPECT_TRUE(a.StartNextLogon());

    a.SetAppName("PANELWICK");
    EXPECT_EQ(a.appName(), "Panelwick");
    EXPECT_TRUE(QFile::exists(Entry(user)));
}

TEST_F(Autostart, GlobalMovesTheEntriesOnlyWithWriteAccessToTheMachine)
{
    // Ordinary users cannot write the machine's folder: run the component as one.
    ASSERT_TRUE(QFile::setPermissions(roots.Folder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                          QFile::ReadOther | QFile::ExeOther |
                                                          QFile::ReadGroup | QFile::ExeGroup));
    ASSERT_TRUE(QDir().mkpath(user));
    ASSERT_TRUE(QDir().mkpath(machine));
    QString program = AUTOSTART_AS_USER;
    QStringList arguments{user, machine, "/opt/pw/panelwick"};
    if (geteuid() == 0) {
        ASSERT_EQ(chown(user.toLocal8Bit().constData(), 65534, 65534), 0);
        arguments = QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", program} + arguments;
        program = "setpriv";
    }
    QProcess asUser;
    asUser.start(program, arguments);
    ASSERT_TRUE(asUser.waitForFinished(20000));
    EXPECT_EQ(asUser.readAllStandardOutput().trimmed(), "global=0 autostart=1")
        << asUser.readAllStandardError().toStdString();
    EXPECT_TRUE(QFile::exists(Entry(user)));
    EXPECT_TRUE(QDir(machine).isEmpty());
    if (geteuid() != 0)
        return; // the move itself needs a machine folder we may write to

    TLumbrinAutostart::TFirstWrite done{false};
    TLumbrinAutostart a("/opt/pw/panelwick", done);
    a.SetAppName("Panelwick");
    a.SetStartNextLogon(true);
    a.SetGlobal(true);
    EXPECT_TRUE(a.Global());
    EXPECT_TRUE(QFile::exists(Entry(machine)));
    EXPECT_TRUE(QFile::exists(Entry(machine, "panelwick-runonce.desktop")));
    EXPECT_FALSE(QFile::exists(Entry(user)));
    EXPECT_TRUE(a.autostart());
    // The probe leaves the key above its own.
    platform::TRegistry machineRegistry(platform::TRootKey::LocalMachine);
    EXPECT_TRUE(machineRegistry.KeyExists("Software\\Panelwick"));
    EXPECT_FALSE(machineRegistry.KeyExists("Software\\Panelwick\\test"));

    a.SetGlobal(false);
    EXPECT_FALSE(a.Global());
    EXPECT_TRUE(QFile::exists(Entry(user)));
    EXPECT_TRUE(QFile::exists(Entry(user, "panelwick-runonce.desktop")));
    EXPECT_FALSE(QFile::exists(Entry(machine)));
}

} // namespace
