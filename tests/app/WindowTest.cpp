#include "AppFixture.h"
#include "MessageBoxRecorder.h"

#include "TestPaths.h"
#include "app/StripPicture.h"
#include "app/TAboutBox.h"
#include "app/TForm1.h"
#include "app/TfrmSettings.h"
#include "comics/ComicSite.h"
#include "comics/TComicInfo.h"
#include "platform/DesktopShell.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace pw;
using pw::test::MessageBoxRecorder;
using pw::test::ProgramFolder;

namespace {

class Window : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder.WriteCatalogue("Alpha\thttp://x/a/\r\nBeta\thttp://x/b/\r\nGamma\thttp://x/g/\r\n");
        folder.AddGif("Alpha", "20010101", "red");
        folder.AddGif("Beta", "20020202", "yellow");
        folder.AddGif("Gamma", "20030303", "blue");
    }
    void TearDown() override { platform::DesktopShell::Opener = nullptr; }

    app::TForm1& Start(const QByteArray& ini)
    {
        folder.WriteIni(ini);
        startup = std::make_unique<test::TestProgram>();
        log = startup->log;
        EXPECT_TRUE(startup->Start(folder.Options()));
        form().activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&form()));
        log->calls.clear();
        return form();
    }
    app::TForm1& form() { return startup->form; }

    MessageBoxRecorder boxes;
    ProgramFolder folder;
    std::unique_ptr<test::TestProgram> startup;
    std::shared_ptr<test::HookLog> log;
};

const QByteArray kChosen = "[Comics]\r\nAlpha=1\r\nBeta=1\r\nGamma=1\r\nCurrentComic=Beta\r\n"
                           "[Updates]\r\nUpdateProgramStart=0\r\n";

TEST_F(Window, PlacementIsRestoredAtShowing)
{
    app::TForm1& f = Start(kChosen + "[Window]\r\nLeftPos=20\r\nTopPos=30\r\nWidth=600\r\nHeight=400\r\n");
    EXPECT_EQ(f.pos(), QPoint(20, 30));
    EXPECT_EQ(f.size(), QSize(600, 400));
    EXPECT_EQ(f.minimumWidth(), 516);

    // After a restore from the tray, showing again keeps the window where it is.
    f.TrayIcon1DblClick();
    f.hide();
    f.move(70, 80);
    f.show();
    EXPECT_EQ(f.pos(), QPoint(70, 80));
}

TEST_F(Window, MaximizedPlacementOpensMaximized)
{
    app::TForm1& f = Start(kChosen + "[Window]\r\nMaximized=1\r\n");
    EXPECT_TRUE(f.isMaximized());
}

TEST_F(Window, ClosingThroughTheFrameSavesPlacementAndComic)
{
    app::TForm1& f = Start(kChosen);
    f.move(40, 60);
    f.resize(700, 520);
    test::Press(&f, Qt::Key_Down);
    ASSERT_EQ(f.comboComics->currentText(), "Gamma");
    EXPECT_TRUE(f.close());
    EXPECT_EQ(log->calls, QStringList{"QuitLoop"}); // ends the program, other windows or not
    const QString ini = folder.ReadIni();
    EXPECT_TRUE(ini.contains("Maximized=0\r\nLeftPos=40\r\nTopPos=60\r\nWidth=700\r\nHeight=520\r\n"))
        << ini.toStdString();
    EXPECT_TRUE(ini.contains("CurrentComic=Gamma")) << ini.toStdString();
    EXPECT_FALSE(ini.contains("CurrentComic=Beta"));
}

TEST_F(Window, ClosingWhileMaximizedKeepsTheEarlierBounds)
{
    app::TForm1& f = Start(kChosen + "[Window]\r\nLeftPos=7\r\nTopPos=8\r\nWidth=640\r\nHeight=480\r\n");
    f.showMaximized();
    ASSERT_TRUE(f.isMaximized());
    f.close();
    const QString ini = folder.ReadIni();
    EXPECT_TRUE(ini.contains("LeftPos=7\r\nTopPos=8\r\nWidth=640\r\nHeight=480\r\n")) << ini.toStdString();
    EXPECT_TRUE(ini.contains("Maximized=1")) << ini.toStdString();
}

TEST_F(Window, ExitEndsAtOnceWithoutSaving)
{
    app::TForm1& f = Start(kChosen);
    const QString before = folder.ReadIni();
    f.move(300, 300);
    test::Press(&f, Qt::Key_Down);
    test::Press(&f, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(log->calls, QStringList{"QuitLoop"});
    f.close(); // what ending the loop does to the window later
    EXPECT_EQ(folder.ReadIni(), before);
}

TEST_F(Window, KeysAndShortcutsReachTheirCommands)
{
    app::TForm1& f = Start(kChosen);
    test::Press(&f, Qt::Key_Escape); // the abort button is disabled at start
    test::Press(&f, Qt::Key_I);
    EXPECT_TRUE(log->calls.isEmpty()) << log->calls.join(",").toStdString();

    QTest::keyPress(&f, Qt::Key_Control, Qt::ControlModifier);
    EXPECT_TRUE(f.CtrlHeld());
    QTest::keyClick(&f, Qt::Key_I, Qt::ControlModifier);
    QTest::keyRelease(&f, Qt::Key_Control);
    EXPECT_FALSE(f.CtrlHeld());
    test::Press(&f, Qt::Key_I); // Ctrl no longer held
    EXPECT_EQ(log->calls, QStringList{"ShowAdvancedInfo"});

    f.bitbtnAbort->setEnabled(true);
    test::Press(&f, Qt::Key_Escape);
    test::Press(&f, Qt::Key_U, Qt::ControlModifier);
    test::Press(&f, Qt::Key_C, Qt::ControlModifier);
    test::Press(&f, Qt::Key_S, Qt::ControlModifier);
    test::Press(&f, Qt::Key_N, Qt::ControlModifier);
    test::Press(&f, Qt::Key_Q, Qt::ControlModifier); // as Ctrl+X: ends at once
    EXPECT_EQ(log->calls, (QStringList{"ShowAdvancedInfo", "AbortAll", "UpdateAll", "CopyCurrentStrip",
                                       "Settings", "AddComic", "QuitLoop"}));
    QStringList opened;
    platform::DesktopShell::Opener = [&](const QString& what) { opened << what; };
    test::Press(&f, Qt::Key_F1);
    EXPECT_EQ(opened, QStringList{folder.Path() + "Help/index.html"});
}

TEST_F(Window, MenusCarryTheirCaptionsAndShortcuts)
{
    app::TForm1& f = Start(kChosen);
    QStringList menus;
    for (QAction* a : f.menuBar()->actions())
        menus << a->text();
    EXPECT_EQ(menus, (QStringList{"&File", "&Update", "&Wallpaper", "&View", "&Help"}));
    QStringList file;
    for (QAction* a : f.menuBar()->actions()[0]->menu()->actions())
        file << (a->isSeparator() ? QStringLiteral("-") : a->text() + " " + a->shortcut().toString());
    EXPECT_EQ(file,
              (QStringList{"&Add Comic... Ctrl+N", "&Import Comics... ", "&Export Comics... ", "-",
                           "&Copy Current Strip To Clipboard Ctrl+C", "&Print Current Strip... Ctrl+P",
                           "Open Strip &Page Ctrl+O", "-", "&Settings... Ctrl+S", "-", "E&xit Ctrl+X"}));
    QStringList view;
    for (QAction* a : f.menuBar()->actions()[3]->menu()->actions())
        view << (a->isSeparator()
                     ? QStringLiteral("-")
                     : a->text() + " " + a->shortcut().toString() + (a->isChecked() ? " *" : ""));
    EXPECT_EQ(view, (QStringList{"&Fit to Window F", "Fit &Width W", "&Actual Size Ctrl+0 *", "-",
                                 "Zoom &In Ctrl++", "Zoom &Out Ctrl+-", "-", "Show &Title Text  *"}));
    QStringList popup;
    for (QAction* a : f.StripPopUp->actions())
        popup << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(popup, (QStringList{"&Print Current Strip...", "Open Strip &Page", "Copy Strip Page &Address",
                                  "-", "Update &Current Comic", "-", "&Set Strip As Wallpaper",
                                  "&Always Set The Latest Strip Of This Comic As Wallpaper"}));
    EXPECT_EQ(f.btnPrev->text(), "<---");
    EXPECT_EQ(f.btnNext->toolTip(), "Next Strip");
    EXPECT_EQ(f.btnPrev->accessibleName(), "Previous strip");
    EXPECT_EQ(f.btnNext->accessibleName(), "Next strip");
    EXPECT_EQ(f.bitbtnAbort->toolTip(), "Abort Current Updates");
    EXPECT_FALSE(f.bitbtnAbort->isEnabled());
    EXPECT_FALSE(f.comboComics->isEditable());

    f.Updatecurrentcomic2->trigger();
    f.Abortallupdates1->trigger(); // no action of its own
    EXPECT_EQ(log->calls, QStringList{"UpdateCurrentComic"});
}

TEST_F(Window, WallpaperMarkFollowsTheStoredWallpaperComic)
{
    app::TForm1& f = Start(kChosen + "[Wallpaper]\r\nComic=Gamma\r\n");
    EXPECT_FALSE(f.AlwaysSetLatestStrip1->isChecked());
    test::Press(&f, Qt::Key_Down);
    EXPECT_TRUE(f.AlwaysSetLatestStrip1->isChecked());
    f.AlwaysSetLatestStrip1->trigger(); // switched off: the mark goes, the key stays empty
    EXPECT_FALSE(f.AlwaysSetLatestStrip1->isChecked());
    EXPECT_TRUE(folder.ReadIni().contains("[Wallpaper]\r\nComic=\r\n"));
    test::Press(&f, Qt::Key_Up);
    EXPECT_FALSE(f.AlwaysSetLatestStrip2->isChecked());
}

TEST_F(Window, HelpHomePageAndAbout)
{
    app::TForm1& f = Start(kChosen);
    QStringList opened;
    platform::DesktopShell::Opener = [&](const QString& what) { opened << what; };
    f.Help2->trigger();
    f.Homepage1->trigger();
    EXPECT_EQ(opened, (QStringList{folder.Path() + "Help/index.html", QString(comics::kHomePage)}));
    f.About2->trigger();
    EXPECT_EQ(log->calls, QStringList{"About"});

    app::TAboutBox about;
    EXPECT_EQ(about.windowTitle(), "About");
    EXPECT_EQ(about.ProductName->text(), "Panelwick");
    EXPECT_EQ(about.Version->text(), "v1.1");
    EXPECT_EQ(about.OKButton->text(), "OK");
    EXPECT_TRUE(about.Credits->text().contains("giflib"));
    EXPECT_TRUE(about.Comments->text().contains("not associated"));
}

TEST_F(Window, SettingsOkRefillsTheSelectorInCatalogueOrder)
{
    app::TForm1& f = Start(kChosen + "[Downloads]\r\nMaxSimDownloads=5\r\n");
    f.RunSettingsModal = [&] {
        app::TfrmSettings& dlg = f.Settings();
        dlg.show();
        dlg.lstboxComicsToGet->item(0)->setSelected(true); // Alpha out
        dlg.btnDeleteComic->click();
        dlg.btnOk->click();
        return dlg.result() == QDialog::Accepted;
    };
    test::Press(&f, Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(f.comboComics->count(), 2);
    EXPECT_EQ(f.comboComics->itemText(0), "Beta");
    EXPECT_EQ(f.comboComics->itemText(1), "Gamma");
    EXPECT_EQ(f.comboComics->currentText(), "Beta"); // the remembered entry
    EXPECT_EQ(log->calls, (QStringList{"SetAutostart 1", "SetTrayStartMinimized 0", "SetSlotCount 5"}));

    // The shown comic removed: the first entry is selected and shown.
    f.RunSettingsModal = [&] {
        app::TfrmSettings& dlg = f.Settings();
        dlg.show();
        dlg.lstboxComicsToGet->item(0)->setSelected(true); // Beta out
        dlg.btnDeleteComic->click();
        dlg.lstboxComicsNotToGet->item(0)->setSelected(true); // Alpha in
        dlg.btnAddComic->click();
        dlg.btnOk->click();
        return dlg.result() == QDialog::Accepted;
    };
    f.Settings1->trigger();
    EXPECT_EQ(f.comboComics->currentIndex(), 0);
    EXPECT_EQ(f.comboComics->currentText(), "Alpha");
    EXPECT_EQ(f.CurrentComic()->Name, "Alpha");
    EXPECT_EQ(test::ShownColour(f), QColor(Qt::red));

    // Cancel changes nothing.
    f.RunSettingsModal = [] { return false; };
    log->calls.clear();
    f.Settings1->trigger();
    EXPECT_EQ(f.comboComics->count(), 2);
    EXPECT_TRUE(log->calls.isEmpty());
}

TEST_F(Window, SettingsAreAppliedAlsoWhenTheNewlyShownStripCannotBeDrawn)
{
    folder.AddFile("Alpha", "Alpha20010102.jpg", "not a jpeg at all");
    app::TForm1& f = Start(kChosen + "[Downloads]\r\nMaxSimDownloads=4\r\n");
    f.RunSettingsModal = [&] {
        app::TfrmSettings& dlg = f.Settings();
        dlg.show();
        dlg.lstboxComicsToGet->item(1)->setSelected(true); // Beta, the shown comic, out
        dlg.btnDeleteComic->click();
        dlg.btnOk->click();
        return dlg.result() == QDialog::Accepted;
    };
    f.Settings1->trigger();
    EXPECT_EQ(boxes.Boxes().size(), 1u) << boxes.Texts().join("\n").toStdString();
    EXPECT_EQ(f.CurrentComic()->Name, "Alpha");
    EXPECT_EQ(f.CurrentComic()->CurrentStrip->FileName, "Alpha20010102.jpg");
    EXPECT_TRUE(log->calls.contains("SetSlotCount 4")) << log->calls.join(" ").toStdString();
}

} // namespace

namespace {

TEST_F(Window, CtrlHeldEndsWhenTheWindowLosesTheKeyboard)
{
    app::TForm1& f = Start(kChosen);
    QTest::keyPress(&f, Qt::Key_Control, Qt::ControlModifier);
    ASSERT_TRUE(f.CtrlHeld());
    QWidget other; // Ctrl is released while this window is active
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    EXPECT_FALSE(f.CtrlHeld());
    f.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
    test::Press(&f, Qt::Key_I);
    EXPECT_TRUE(log->calls.isEmpty()) << log->calls.join(",").toStdString();
}

TEST_F(Window, StripContextMenuOpensWithTheWallpaperMark)
{
    app::TForm1& f = Start(kChosen + "[Wallpaper]\r\nComic=Beta\r\n");
    f.AlwaysSetLatestStrip2->setChecked(false);
    emit f.Image1->customContextMenuRequested(QPoint(5, 5));
    EXPECT_TRUE(test::WaitFor([&] { return f.StripPopUp->isVisible(); }, 30000));
    EXPECT_TRUE(f.AlwaysSetLatestStrip2->isChecked());
    f.StripPopUp->hide();
}

TEST_F(Window, AComicMissingFromTheCatalogueShowsNothingAndKeysStaySafe)
{
    app::TForm1& f = Start(kChosen);
    f.ShowComic("Nobody");
    EXPECT_EQ(f.CurrentComic(), nullptr);
    EXPECT_EQ(f.lblCurrentDate->text(), "No strips yet");
    EXPECT_TRUE(test::Shown(f).isNull());
    for (int key : {Qt::Key_Left, Qt::Key_Right})
        test::Press(&f, key);
    f.resize(f.width() + 5, f.height());
    EXPECT_TRUE(boxes.Texts().isEmpty());
    test::Press(&f, Qt::Key_Up); // the selector still works
    EXPECT_EQ(f.CurrentComic()->Name, "Alpha");
}

} // namespace
