#include "TemporaryRegistry.h"

#include "platform/AutostartEntry.h"
#include "platform/DesktopWallpaper.h"
#include "platform/RegistryFile.h"
#include "platform/TRegistry.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace pw::platform;

namespace {

QByteArray Read(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void Write(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

struct Registry : ::testing::Test {
    pw::test::TemporaryRegistry roots;
    QString user = roots.User();

    QString UserFile() const { return user + "/panelwick/registry.reg"; }
};

TEST_F(Registry, KeysAndValuesLiveOnDiskAndIgnoreCase)
{
    TRegistry reg;
    EXPECT_FALSE(reg.OpenKey("\\Control Panel\\desktop\\", false));
    EXPECT_FALSE(QFile::exists(UserFile()));
    ASSERT_TRUE(reg.OpenKey("\\Control Panel\\desktop\\", true));
    EXPECT_EQ(reg.ReadString("Wallpaper"), "");
    EXPECT_FALSE(reg.ValueExists("Wallpaper"));
    reg.WriteString("Wallpaper", "/a \"b\"\\c\nd");
    reg.WriteString("TileWallpaper", "0");
    reg.CloseKey();

    TRegistry again; // another handle reads what is on disk
    ASSERT_TRUE(again.OpenKey("control panel\\DESKTOP", false));
    EXPECT_EQ(again.ReadString("WALLPAPER"), "/a \"b\"\\c\nd");
    EXPECT_TRUE(again.DeleteValue("tilewallpaper"));
    EXPECT_FALSE(again.DeleteValue("tilewallpaper"));
    EXPECT_FALSE(again.ValueExists("TileWallpaper"));
    EXPECT_TRUE(again.KeyExists("Control Panel"));

    // Deleting a key takes the keys below it and leaves the ones above.
    ASSERT_TRUE(again.OpenKey("\\Software\\Panelwick\\test\\", true));
    EXPECT_TRUE(again.DeleteKey("\\Software\\Panelwick\\test\\"));
    EXPECT_FALSE(again.KeyExists("Software\\Panelwick\\test"));
    EXPECT_TRUE(again.KeyExists("Software\\Panelwick"));
    EXPECT_TRUE(again.DeleteKey("Control Panel"));
    EXPECT_FALSE(again.KeyExists("Control Panel\\desktop"));
    EXPECT_FALSE(again.DeleteKey("Control Panel"));

    // The machine's root is another file.
    TRegistry machineReg(TRootKey::LocalMachine);
    EXPECT_FALSE(machineReg.KeyExists("Software\\Panelwick"));
}

TEST_F(Registry, AFileThatIsNotOursIsNeitherReadNorWritten)
{
    const QByteArray foreign = "[Control Panel\\desktop]\nWallpaper=/x.bmp\n";
    Write(UserFile(), foreign);
    TRegistry reg;
    EXPECT_FALSE(reg.OpenKey("Control Panel\\desktop", false));
    EXPECT_FALSE(reg.OpenKey("Control Panel\\desktop", true));
    EXPECT_THROW(reg.WriteString("Wallpaper", "/y.bmp"), ERegistryException);
    EXPECT_FALSE(reg.DeleteKey("Control Panel"));
    EXPECT_EQ(Read(UserFile()), foreign);

    // Broken quoting in a file of ours is refused the same way.
    EXPECT_FALSE(RegistryFile::Parse("Panelwick Registry 1\n[k]\n\"a\"=\"b\n"));
    EXPECT_FALSE(RegistryFile::Parse("Panelwick Registry 1\n\"a\"=\"b\"\n")); // value before any key
    EXPECT_FALSE(RegistryFile::Parse("Panelwick Registry 1\n[k]\n\"a\"=\"b\\q\"\n"));
}

TEST_F(Registry, RunValuesAreAutostartEntriesThatValidate)
{
    const QString exe = roots.Folder() + "/Program Files/pan$el`wick \"1\"/panelwick";
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", true));
    reg.WriteString("Panelwick", "\"" + exe + "\"");
    reg.CloseKey();
    EXPECT_FALSE(QFile::exists(UserFile())) << "Run values are not kept in the registry file";

    const QString entry = user + "/autostart/panelwick-autostart.desktop";
    ASSERT_TRUE(QFile::exists(entry));
    const QByteArray bytes = Read(entry);
    EXPECT_TRUE(bytes.contains("Exec=\"" + roots.Folder().toUtf8() +
                               "/Program Files/pan\\\\$el\\\\`wick \\\\\"1\\\\\"/panelwick\"\n"))
        << bytes.toStdString();
    EXPECT_FALSE(bytes.contains("RunOnce"));
    QProcess validate;
    validate.start("desktop-file-validate", {entry});
    ASSERT_TRUE(validate.waitForFinished(10000));
    EXPECT_EQ(validate.exitCode(), 0) << validate.readAllStandardOutput().toStdString();
    EXPECT_TRUE(validate.readAllStandardOutput().trimmed().isEmpty());

    TRegistry again;
    ASSERT_TRUE(again.OpenKey("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", false));
    EXPECT_EQ(again.ReadString("PANELWICK"), "\"" + exe + "\"");

    // RunOnce is an entry of its own, marked as such.
    ASSERT_TRUE(again.OpenKey("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce", false));
    EXPECT_EQ(again.ReadString("Panelwick"), "");
    again.WriteString("Panelwick", "\"" + exe + "\"");
    const QString once = user + "/autostart/panelwick-runonce.desktop";
    EXPECT_TRUE(Read(once).contains("X-Panelwick-RunOnce=true"));
    EXPECT_TRUE(again.DeleteValue("Panelwick"));
    EXPECT_FALSE(QFile::exists(once));
    EXPECT_TRUE(QFile::exists(entry));
    EXPECT_TRUE(QDir(user + "/autostart").exists()) << "deleting a value leaves the key";
}

TEST_F(Registry, SomeoneElsesAutostartEntryIsLeftAlone)
{
    const QString entry = user + "/autostart/panelwick-autostart.desktop";
    const QByteArray foreign = "[Desktop Entry]\nType=Application\nName=Mine\nExec=/usr/bin/mine\n";
    Write(entry, foreign);
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(TRegistry::kRunKey, false));
    EXPECT_EQ(reg.ReadString("Panelwick"), "");
    EXPECT_FALSE(reg.DeleteValue("Panelwick"));
    EXPECT_THROW(reg.WriteString("Panelwick", "\"/opt/panelwick\""), ERegistryException);
    EXPECT_EQ(Read(entry), foreign);

    // An entry of ours with an empty command is an empty value; ours to write over.
    Write(entry, AutostartEntry::Format("Panelwick", "", false));
    EXPECT_EQ(reg.ReadString("Panelwick"), "");
    reg.WriteString("Panelwick", "\"/opt/pw\"");
    EXPECT_EQ(reg.ReadString("Panelwick"), "\"/opt/pw\"");
}

TEST(AutostartEntry, ExecQuotingReadsBackAndFileNamesStayDesktopIds)
{
    for (const QString& program : {QString("/opt/pw/panelwick"), QString("/a b/100% \"q\" $HOME `x` \\n/pw"),
                                   QString::fromUtf8("/h\xC3\xA9/\tpw")}) {
        const auto back = AutostartEntry::ExecProgram(AutostartEntry::ExecValue(program));
        ASSERT_TRUE(back) << program.toStdString();
        EXPECT_EQ(*back, program);
    }
    EXPECT_EQ(AutostartEntry::ExecProgram("/usr/bin/pw --x"), "/usr/bin/pw");
    EXPECT_FALSE(AutostartEntry::ExecProgram("\"/unterminated"));
    EXPECT_EQ(AutostartEntry::FileName("Panelwick#Autostart", false),
              "panelwick-23autostart-autostart.desktop");
    EXPECT_EQ(AutostartEntry::FileName("a/b", true), "a-2fb-runonce.desktop");
}

TEST(DesktopWallpaper, EachDesktopGetsItsOwnToolCentred)
{
    auto env = [](const QString& desktop, const QString& display = ":0") {
        QProcessEnvironment e;
        if (!desktop.isEmpty())
            e.insert("XDG_CURRENT_DESKTOP", desktop);
        if (!display.isEmpty())
            e.insert("DISPLAY", display);
        return e;
    };
    auto all = [](const QString& program) { return "/usr/bin/" + program; };
    auto only = [](const QString& which) {
        return [which](const QString& program) { return program == which ? "/bin/" + program : QString(); };
    };
    auto texts = [](const std::vector<DesktopWallpaper::Command>& commands) {
        QStringList out;
        for (const auto& c : commands)
            out << DesktopWallpaper::Text(c);
        return out;
    };
    const QString path = "/h/.local/share/panelwick/Panelwick Wallpaper.bmp";

    EXPECT_EQ(texts(DesktopWallpaper::Commands(path, env("ubuntu:GNOME"), all)),
              (QStringList{"/usr/bin/gsettings set org.gnome.desktop.background picture-options centered",
                           "/usr/bin/gsettings set org.gnome.desktop.background picture-uri "
                           "file:///h/.local/share/panelwick/Panelwick%20Wallpaper.bmp",
                           "/usr/bin/gsettings set org.gnome.desktop.background picture-uri-dark "
                           "file:///h/.local/share/panelwick/Panelwick%20Wallpaper.bmp"}));
    // Plasma: its desktop scripting, for every desktop and centred, the address kept whole
    // inside the script; without dbus-send, its own tool, which cannot centre.
    const QString odd = "/h/it's \"q\" \\x/Panelwick Wallpaper.bmp";
    const auto kde = DesktopWallpaper::Commands(odd, env("KDE"), all);
    ASSERT_EQ(kde.size(), 1u);
    EXPECT_EQ(kde[0].mid(0, 6), (QStringList{"/usr/bin/dbus-send", "--session", "--print-reply=literal",
                                             "--dest=org.kde.plasmashell", "/PlasmaShell",
                                             "org.kde.PlasmaShell.evaluateScript"}));
    ASSERT_EQ(kde[0].size(), 7);
    const QString script = kde[0][6];
    EXPECT_TRUE(script.startsWith("string:var ds = desktops();")) << script.toStdString();
    EXPECT_TRUE(script.contains(
        "d.writeConfig(\"Image\", \"file:///h/it's%20%22q%22%20%5Cx/Panelwick%20Wallpaper.bmp\");"))
        << script.toStdString();
    EXPECT_TRUE(script.contains("d.writeConfig(\"FillMode\", 6);"));
    EXPECT_EQ(
        texts(DesktopWallpaper::Commands(odd, env("KDE"), only("plasma-apply-wallpaperimage"))),
        QStringList{"/bin/plasma-apply-wallpaperimage '/h/it'\\''s \"q\" \\x/Panelwick Wallpaper.bmp'"});
    const auto xfce = DesktopWallpaper::Commands(path, env("XFCE"), all);
    ASSERT_EQ(xfce.size(), 1u);
    EXPECT_EQ(xfce[0].last(), path); // an argument of the script, never part of it
    EXPECT_TRUE(xfce[0].at(2).contains("image-style\" -s 1"));
    EXPECT_EQ(texts(DesktopWallpaper::Commands(path, env("MATE"), all)).last(),
              "/usr/bin/gsettings set org.mate.background picture-filename '" + path + "'");

    // A bare X server: the first root-window tool there is.
    EXPECT_EQ(texts(DesktopWallpaper::Commands(path, env(""), all)),
              QStringList{"/usr/bin/feh --no-fehbg --bg-center '" + path + "'"});
    EXPECT_EQ(texts(DesktopWallpaper::Commands(path, env(""), only("hsetroot"))),
              QStringList{"/bin/hsetroot -center '" + path + "'"});
    // Nothing found, or no X server: nothing to start.
    EXPECT_TRUE(DesktopWallpaper::Commands(path, env("GNOME"), only("feh")).empty());
    EXPECT_TRUE(DesktopWallpaper::Commands(path, env("", ""), all).empty());

    // A Wayland session: the desktop's own tool as on X; never the root window of its
    // X server, which nobody sees.
    auto wayland = [&](const QString& desktop) {
        QProcessEnvironment e = env(desktop);
        e.insert("WAYLAND_DISPLAY", "wayland-0");
        return e;
    };
    EXPECT_EQ(texts(DesktopWallpaper::Commands(path, wayland("KDE"), all)),
              texts(DesktopWallpaper::Commands(path, env("KDE"), all)));
    EXPECT_EQ(texts(DesktopWallpaper::Commands(path, wayland("GNOME"), all)).size(), 3);
    EXPECT_TRUE(DesktopWallpaper::Commands(path, wayland(""), all).empty());
}

} // namespace
