// The desktop commands in the real program: wallpaper, the always-latest mark in both
// menus, the clipboard, the autostart entry at window creation.
#include "AppFixture.h"
#include "MessageBoxRecorder.h"
#include "TestPaths.h"

#include "app/StripPicture.h"
#include "app/TForm1.h"
#include "app/TForm2.h"
#include "app/TStartup.h"
#include "app/TfrmSettings.h"
#include "desktop/TLumbrinAutostart.h"
#include "imaging/TGifDecoder.h"
#include "platform/TRegistry.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <optional>

using namespace pw;

namespace {

const QString kMessage = "Couldn't change wallpaper. The comic strip may be corrupt.";

struct Desktop : ::testing::Test {
    test::MessageBoxRecorder boxes;
    test::ProgramFolder folder;
    app::TStartup startup;

    // The search path holds the one wallpaper tool of a bare X server, whatever else
    // this machine has installed.
    QTemporaryDir tools;
    const QByteArray path = qgetenv("PATH");

    void SetUp() override
    {
        // Each test is a program start of its own, whose first autostart write is to come.
        desktop::TLumbrinAutostart::ProcessFirstWrite() = {};
        folder.WriteCatalogue("Alpha\thttp://x/a/\r\nBeta\thttp://x/b/\r\n");
        folder.AddGif("Alpha", "20010101", "red");
        folder.AddGif("Alpha", "20010102", "blue");         // the newest strip
        folder.WriteUnread("Alpha", {"Alpha20010101.gif"}); // shown first
        ASSERT_TRUE(QFile::link(QStandardPaths::findExecutable("hsetroot"), tools.filePath("hsetroot")));
        qputenv("PATH", QFile::encodeName(tools.path()));
    }
    void TearDown() override { qputenv("PATH", path); }
    app::TForm1& Start(const QByteArray& extra = {})
    {
        folder.WriteIni("[Comics]\r\nAlpha=1\r\nBeta=1\r\nCurrentComic=Alpha\r\n[Updates]\r\n"
                        "UpdateProgramStart=0\r\n" +
                        extra);
        EXPECT_TRUE(startup.Start(folder.Options()));
        return startup.MainWindow();
    }
    static QString Bmp()
    {
        return qEnvironmentVariable("XDG_DATA_HOME") + "/panelwick/Panelwick Wallpaper.bmp";
    }
    static QColor WallpaperColour()
    {
        const QImage image(Bmp(), "BMP");
        return image.isNull() ? QColor() : image.pixelColor(image.width() / 2, image.height() / 2);
    }
    static QString Value(const QString& name)
    {
        platform::TRegistry reg;
        return reg.OpenKey("Control Panel\\desktop", false) ? reg.ReadString(name) : QString();
    }
};

TEST_F(Desktop, WallpaperCommandsAndTheAlwaysLatestMarkInBothMenus)
{
    app::TForm1& f = Start();
    ASSERT_EQ(test::ShownColour(f), QColor(Qt::red));

    // A bare X server that cannot be reached: the tool starts, fails, and is logged.
    qputenv("DISPLAY", ":-1");
    f.SetStripAsWallpaper1->trigger(); // the strip on screen
    qunsetenv("DISPLAY");
    EXPECT_EQ(WallpaperColour(), QColor(Qt::red));
    EXPECT_EQ(Value("Wallpaper"), Bmp());
    EXPECT_EQ(Value("TileWallpaper"), "0");
    EXPECT_EQ(Value("WallpaperStyle"), "0");
    startup.DebugLog().show(); // the log fills its memo when shown
    EXPECT_TRUE(startup.DebugLog().Memo1->toPlainText().contains("Wallpaper: " + tools.filePath("hsetroot") +
                                                                 " -center '" + Bmp() + "'"))
        << startup.DebugLog().Memo1->toPlainText().toStdString();
    QFile::remove(Bmp());
    f.SetStripAsWallpaper2->trigger(); // the pop-up's twin
    EXPECT_EQ(WallpaperColour(), QColor(Qt::red));

    // Switched on from the pop-up: the comic's newest strip at once, both marks set.
    f.AlwaysSetLatestStrip2->trigger();
    EXPECT_TRUE(folder.ReadIni().contains("[Wallpaper]\r\nComic=Alpha\r\n"));
    EXPECT_EQ(WallpaperColour(), QColor(Qt::blue));
    EXPECT_TRUE(f.AlwaysSetLatestStrip1->isChecked());
    EXPECT_TRUE(f.AlwaysSetLatestStrip2->isChecked());

    // Switched off from the main menu: the wallpaper stays, the key stays empty.
    f.AlwaysSetLatestStrip1->trigger();
    EXPECT_FALSE(f.AlwaysSetLatestStrip1->isChecked());
    EXPECT_TRUE(folder.ReadIni().contains("[Wallpaper]\r\nComic=\r\n"));
    EXPECT_EQ(WallpaperColour(), QColor(Qt::blue));
    EXPECT_TRUE(boxes.Texts().isEmpty()) << boxes.Texts().join("\n").toStdString();

    // A comic without strips: the key is written, then the message; the file stays.
    test::Press(&f, Qt::Key_Down);
    ASSERT_EQ(f.CurrentComic()->Name, "Beta");
    f.AlwaysSetLatestStrip1->trigger();
    EXPECT_TRUE(folder.ReadIni().contains("[Wallpaper]\r\nComic=Beta\r\n"));
    EXPECT_EQ(boxes.Texts(), QStringList{kMessage});
    f.SetStripAsWallpaper1->trigger();
    EXPECT_EQ(boxes.Texts(), (QStringList{kMessage, kMessage}));
    EXPECT_EQ(WallpaperColour(), QColor(Qt::blue));
    // Back on Alpha the pop-up opens unmarked: Beta is the wallpaper comic now.
    test::Press(&f, Qt::Key_Up);
    emit f.Image1->customContextMenuRequested(QPoint(5, 5));
    EXPECT_FALSE(f.AlwaysSetLatestStrip2->isChecked());
    f.StripPopUp->hide();
}

TEST_F(Desktop, CtrlCPutsTheShownStripOnTheClipboardAsAnImageOnly)
{
    app::TForm1& f = Start();
    f.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
    QGuiApplication::clipboard()->setText("before");
    test::Press(&f, Qt::Key_C, Qt::ControlModifier);
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(mime && mime->hasImage());
    EXPECT_FALSE(mime->hasText());
    EXPECT_TRUE(test::SameImage(QGuiApplication::clipboard()->image(), test::Shown(f)));

    // No picture on screen: the clipboard keeps what it held, and nothing is said.
    test::Press(&f, Qt::Key_Down); // Beta has no strips
    QGuiApplication::clipboard()->setText("kept");
    f.CopyCurrentStrip1->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "kept");
    EXPECT_TRUE(boxes.Texts().isEmpty());
}

TEST_F(Desktop, TheAutostartEntryFollowsTheExecutableAndTheSettingsCheckBox)
{
    const QString entry = qEnvironmentVariable("XDG_CONFIG_HOME") + "/autostart/panelwick-autostart.desktop";
    {
        platform::TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(platform::TRegistry::kRunKey, true));
        reg.WriteString("Panelwick", "\"/old place/panelwick\"");
        ASSERT_TRUE(reg.OpenKey(platform::TRegistry::kRunOnceKey, true));
        reg.WriteString("Panelwick", "\"/old place/panelwick\"");
    }
    app::TForm1& f = Start();
    // Making the window moved the entry to this executable and dropped the RunOnce entry.
    QFile file(entry);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("Exec=\"/nonexistent/panelwick\"\n"));
    file.close();
    EXPECT_FALSE(QFile::exists(QFileInfo(entry).path() + "/panelwick-runonce.desktop"));

    auto confirm = [&](bool autostart) {
        f.RunSettingsModal = [&f, autostart] {
            app::TfrmSettings& dlg = f.Settings();
            dlg.show();
            dlg.chkboxAutoStart->setChecked(autostart);
            dlg.btnOk->click();
            return true;
        };
        f.Settings1->trigger();
    };
    confirm(false);
    EXPECT_FALSE(QFile::exists(entry));
    confirm(true);
    EXPECT_TRUE(QFile::exists(entry));
    EXPECT_TRUE(boxes.Texts().isEmpty()) << boxes.Texts().join("\n").toStdString();
}

TEST_F(Desktop, WithoutATrayTheWindowIsMinimisedOnTheTaskBarAndTheLogSaysWhyOnce)
{
    // The offscreen platform has no notification area and the tests no session bus.
    app::TForm1& f = Start("[Misc]\r\nStartMinimized=1\r\n");
    auto logged = [&] {
        startup.DebugLog().show(); // the log fills its memo when shown
        return startup.DebugLog().Memo1->toPlainText().count("minimised to the task bar instead of the tray");
    };
    // Shown, so the task bar has it, and minimised once it is on screen.
    EXPECT_TRUE(f.isVisible());
    EXPECT_TRUE(test::WaitFor([&] { return f.isMinimized(); }));
    EXPECT_TRUE(f.isVisible());
    EXPECT_EQ(logged(), 1);

    f.setWindowState(f.windowState() & ~Qt::WindowMinimized);
    f.setWindowState(f.windowState() | Qt::WindowMinimized);
    EXPECT_TRUE(f.isMinimized());
    // The tray would have hidden it from the loop: let the loop run until its turn has passed.
    bool turned = false;
    QTimer::singleShot(0, [&] { QTimer::singleShot(0, [&] { turned = true; }); });
    EXPECT_TRUE(test::WaitFor([&] { return turned; }));
    EXPECT_TRUE(f.isVisible());
    EXPECT_EQ(logged(), 1);
    EXPECT_TRUE(boxes.Texts().isEmpty()) << boxes.Texts().join("\n").toStdString();
}

TEST_F(Desktop, AnAutostartEntryTheDesktopSwitchedOffShowsOffUntilTheUserSwitchesItOn)
{
    const QString entry = qEnvironmentVariable("XDG_CONFIG_HOME") + "/autostart/panelwick-autostart.desktop";
    {
        platform::TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(platform::TRegistry::kRunKey, true));
        reg.WriteString("Panelwick", "\"/old place/panelwick\"");
    }
    // Switched off in the desktop's startup applications, with a name of its own added.
    QFile file(entry);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray off =
        file.readAll()
            .replace("[Desktop Entry]\n", "[Desktop Entry]\nX-GNOME-Autostart-enabled=false\n")
            .append("Name[de]=Panelwick Comics\n");
    file.close();
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(off);
    file.close();
    auto read = [&] {
        QFile f(entry);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };

    // The user had chosen autostart; the window's start leaves the desktop's choice alone.
    app::TForm1& f = Start("[Misc]\r\nAutoStart=1\r\n");
    EXPECT_EQ(read(), off);

    std::optional<bool> shown;
    auto confirm = [&](bool autostart) {
        f.RunSettingsModal = [&f, &shown, autostart] {
            app::TfrmSettings& dlg = f.Settings();
            dlg.show();
            shown = dlg.chkboxAutoStart->isChecked();
            dlg.chkboxAutoStart->setChecked(autostart);
            dlg.btnOk->click();
            return true;
        };
        f.Settings1->trigger();
    };
    confirm(false); // the box shows the desktop's off, and OK keeps it
    EXPECT_EQ(shown, false);
    EXPECT_EQ(read(), off);
    EXPECT_TRUE(folder.ReadIni().contains("[Misc]\r\nAutoStart=0\r\n"));

    confirm(true); // switched on by the user: on, with the desktop's name kept
    EXPECT_EQ(shown, false);
    const QByteArray on = read();
    EXPECT_TRUE(on.contains("X-GNOME-Autostart-enabled=true\n")) << on.toStdString();
    EXPECT_TRUE(on.contains("Name[de]=Panelwick Comics\n"));
    EXPECT_TRUE(on.contains("Exec=\"/nonexistent/panelwick\"\n"));
    EXPECT_FALSE(on.contains("X-GNOME-Autostart-enabled=false"));

    confirm(true);
    EXPECT_EQ(shown, true);
    EXPECT_EQ(read(), on);
    EXPECT_TRUE(boxes.Texts().isEmpty()) << boxes.Texts().join("\n").toStdString();
}

} // namespace
