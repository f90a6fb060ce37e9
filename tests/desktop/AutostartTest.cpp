#include "TemporaryRegistry.h"

#include "desktop/TLumbrinAutostart.h"
#include "platform/TRegistry.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
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
