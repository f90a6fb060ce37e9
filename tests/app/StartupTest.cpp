#include "AppFixture.h"
#include "MessageBoxRecorder.h"
#include "TestPaths.h"

#include "app/QtMessageBoxes.h"
#include "app/TAboutBox.h"
#include "app/TForm1.h"
#include "app/TForm2.h"
#include "app/TStartup.h"
#include "app/TfrmAddComic.h"
#include "app/TfrmSettings.h"
#include "app/TimeOfDayText.h"
#include "comics/TComicStripsDB.h"
#include "platform/MessageBoxService.h"
#include "platform/Tunables.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>
#include <gtest/gtest.h>

using namespace pw;
using pw::test::MessageBoxRecorder;
using pw::test::ProgramFolder;

TEST(StartupOptions, CommandLineChoosesTheModeAndRefusesWhatItDoesNotKnow)
{
    using Mode = app::TStartupOptions::TMode;
    const auto o = app::TStartupOptions::Parse({"--program-folder", "/srv/pw"}, "/opt/bin/panelwick");
    ASSERT_TRUE(o);
    EXPECT_EQ(o->Mode, Mode::Window);
    EXPECT_EQ(o->Paths.IniPath, "/srv/pw/panelwick.ini");
    EXPECT_EQ(o->Paths.CataloguePath, "/srv/pw/Comics.urls");
    EXPECT_EQ(o->Paths.DefaultComicsDir, "/srv/pw/Comics/");
    EXPECT_EQ(o->Paths.HelpPath, "/srv/pw/Help/index.html");

    const auto batch = app::TStartupOptions::Parse({"--batch-update", "--program-folder=/srv/pw"});
    ASSERT_TRUE(batch);
    EXPECT_EQ(batch->Mode, Mode::BatchUpdate);
    EXPECT_EQ(batch->ProgramFolderArgument, "/srv/pw");
    EXPECT_EQ(app::TStartupOptions::Parse({"--version", "--bogus"})->Mode, Mode::Version);
    EXPECT_EQ(app::TStartupOptions::Parse({"--help"})->Mode, Mode::Help);
    const auto add =
        app::TStartupOptions::Parse({"--add-comic", "https://comics.test/feed", "--name", "Mine"});
    ASSERT_TRUE(add);
    EXPECT_EQ(add->Mode, Mode::AddComic);
    EXPECT_EQ(add->AddAddress, "https://comics.test/feed");
    EXPECT_EQ(add->AddName, "Mine");
    EXPECT_TRUE(app::TStartupOptions::Parse({"--add-comic", "http://a.test/"})->AddName.isNull());
    const auto import = app::TStartupOptions::Parse({"--import-opml", "/home/ann/feeds.opml"});
    ASSERT_TRUE(import);
    EXPECT_EQ(import->Mode, Mode::ImportOpml);
    EXPECT_EQ(import->OpmlFile, "/home/ann/feeds.opml");
    EXPECT_EQ(app::TStartupOptions::Parse({"--export-opml", "out.opml"})->Mode, Mode::ExportOpml);
    // Qt's own options are left for the application object.
    EXPECT_EQ(app::TStartupOptions::Parse({"-platform", "offscreen", "-reverse", "-style=fusion"})->Mode,
              Mode::Window);

    for (const QStringList& bad :
         {QStringList{"--program-folder"}, QStringList{"--program-folder="}, QStringList{"--bogus"},
          QStringList{"stray"}, QStringList{"-platform"}, QStringList{"--add-comic"},
          QStringList{"--name", "x"}, QStringList{"--add-comic", "http://a.test/", "--name"},
          QStringList{"--import-opml"}, QStringList{"--export-opml", ""}}) {
        QString error;
        EXPECT_FALSE(app::TStartupOptions::Parse(bad, &error)) << bad.join(' ').toStdString();
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(TimeOfDayText, WrittenTimeReadsBackWithItsSeconds)
{
    for (const QTime t : {QTime(0, 0, 0), QTime(13, 5, 7), QTime(23, 59, 59), QTime(9, 30, 1)}) {
        const QString text = app::TimeOfDayText::ToText(t);
        const auto back = app::TimeOfDayText::FromText(text);
        ASSERT_TRUE(back) << text.toStdString();
        EXPECT_EQ(*back, t) << text.toStdString();
    }
    EXPECT_EQ(app::TimeOfDayText::FromText("12:00:30"), QTime(12, 0, 30));
    EXPECT_FALSE(app::TimeOfDayText::FromText("noon"));
    EXPECT_FALSE(app::TimeOfDayText::FromText(""));
    EXPECT_FALSE(app::TimeOfDayText::FromText("25:00:00"));
}

using Started = test::TestProgram;

TEST(Startup, CreatesTheHiddenDebugLogAndTheAboutBoxAndShowsTheWindow)
{
    MessageBoxRecorder boxes;
    ProgramFolder folder;
    folder.WriteCatalogue("Alpha\thttp://x/a/\r\n");
    folder.WriteIni("[Comics]\r\nAlpha=1\r\n[Updates]\r\nUpdateProgramStart=0\r\n");
    folder.AddGif("Alpha", "20010101", "red");
    app::TStartup startup;
    ASSERT_TRUE(startup.Start(folder.Options()));
    EXPECT_TRUE(boxes.Texts().isEmpty()) << boxes.Texts().join("|").toStdString();
    EXPECT_TRUE(startup.MainWindow().isVisible());
    EXPECT_EQ(startup.MainWindow().comboComics->currentText(), "Alpha");
    EXPECT_EQ(test::ShownColour(startup.MainWindow()), QColor(Qt::red));
    EXPECT_EQ(startup.DebugLog().windowTitle(), "Form2");
    EXPECT_FALSE(startup.DebugLog().isVisible());
    startup.DebugLog().Append("HTTP/1.0 200 OK");
    startup.DebugLog().Append("Date: Tue, 07 Mar 2000 09:15:02 GMT");
    startup.DebugLog().show(); // what was collected while hidden shows
    EXPECT_EQ(startup.DebugLog().Memo1->toPlainText(),
              "HTTP/1.0 200 OK\nDate: Tue, 07 Mar 2000 09:15:02 GMT");
    startup.DebugLog().Append("Server: nginx");
    EXPECT_TRUE(startup.DebugLog().Memo1->toPlainText().endsWith("GMT\nServer: nginx"));
    startup.DebugLog().hide();
    EXPECT_EQ(startup.AboutBox().windowTitle(), "About");
    EXPECT_EQ(startup.AboutBox().Version->text(), "v1.1");
}

TEST(Startup, AStripThatCannotBeDrawnIsReportedOnceAndTheStartGoesOn)
{
    // The first strip is decoded beside the window's making; its failure still shows, once.
    MessageBoxRecorder boxes;
    ProgramFolder folder;
    folder.WriteCatalogue("Alpha\thttp://x/a/\r\n");
    folder.WriteIni("[Comics]\r\nAlpha=1\r\n[Updates]\r\nUpdateProgramStart=0\r\n");
    folder.AddGif("Alpha", "20010101", "red");
    folder.AddFile("Alpha", "Alpha20010102.jpg", "not a jpeg at all");
    app::TStartup startup;
    ASSERT_TRUE(startup.Start(folder.Options()));
    app::TForm1& form = startup.MainWindow();
    EXPECT_TRUE(form.isVisible());
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].kind, platform::BoxKind::Error);
    EXPECT_EQ(form.lblCurrentDate->text(),
              QLocale::system().toString(QDate(2001, 1, 2), QLocale::ShortFormat));
    EXPECT_TRUE(test::Shown(form).isNull());
    form.resize(form.width() + 10, form.height());
    QCoreApplication::processEvents();
    EXPECT_EQ(boxes.Boxes().size(), 1u);
    test::Press(&form, Qt::Key_Left);
    EXPECT_EQ(test::ShownColour(form), QColor(Qt::red));
}

TEST(Startup, ShowsTheRememberedComicAndRunsTheStartupTriggers)
{
    MessageBoxRecorder boxes;
    ProgramFolder folder;
    folder.WriteCatalogue("Alpha\thttp://x/a/\r\nBeta\thttp://x/b/\r\nGamma\thttp://x/g/\r\n");
    folder.WriteIni("[Comics]\r\nGamma=1\r\nAlpha=1\r\nCurrentComic=Gamma\r\n");
    folder.AddGif("Gamma", "20040506", "red");
    folder.AddGif("Gamma", "20040507", "blue");

    Started s;
    ASSERT_TRUE(s.Start(folder.Options()));
    EXPECT_TRUE(boxes.Texts().isEmpty()) << boxes.Texts().join("|").toStdString();
    ASSERT_EQ(s.form.comboComics->count(), 2);
    EXPECT_EQ(s.form.comboComics->itemText(0), "Alpha"); // catalogue order, not file order
    EXPECT_EQ(s.form.comboComics->itemText(1), "Gamma");
    EXPECT_EQ(s.form.comboComics->currentIndex(), 1);
    EXPECT_EQ(s.form.CurrentComic()->Name, "Gamma");
    EXPECT_EQ(s.form.lblCurrentDate->text(),
              QLocale::system().toString(QDate(2004, 5, 7), QLocale::ShortFormat));
    EXPECT_EQ(test::ShownColour(s.form), QColor(Qt::blue));
    EXPECT_TRUE(s.form.isVisible());
    EXPECT_EQ(s.form.windowTitle(), "Panelwick");
    EXPECT_EQ(s.log->calls, (QStringList{"SetTrayMinimizeToTray 1", "UpdateAll"}));
}

TEST(Startup, DailyUpdatesStartTheTimerInsteadOfAnUpdate)
{
    MessageBoxRecorder boxes;
    ProgramFolder folder;
    folder.WriteCatalogue("Alpha\thttp://x/a/\r\n");
    folder.WriteIni("[Comics]\r\nAlpha=1\r\n[Updates]\r\nUpdateProgramStart=0\r\nUpdateDaily=1\r\n");
    Started s;
    ASSERT_TRUE(s.Start(folder.Options()));
    EXPECT_EQ(s.log->calls, (QStringList{"SetTrayMinimizeToTray 1", "StartDailyTimer"}));
    EXPECT_EQ(s.form.lblCurrentDate->text(), "No strips yet");
    EXPECT_TRUE(test::Shown(s.form).isNull());
}

TEST(Startup, RememberedComicThatIsNotChosenGivesWayToTheFirstChosen)
{
    MessageBoxRecorder boxes;
    ProgramFolder folder;
    folder.WriteCatalogue("Alpha\thttp://x/a/\r\nBeta\thttp://x/b/\r\nGamma\thttp://x/g/\r\n");
    folder.WriteIni(
        "[Comics]\r\nBeta=1\r\nGamma=1\r\nCurrentComic=Alpha\r\n[Updates]\r\nUpdateProgramStart=0\r\n");
    folder.AddGif("Beta", "20010101", "lime");
    Started s;
    ASSERT_TRUE(s.Start(folder.Options()));
    EXPECT_EQ(s.form.comboComics->currentIndex(), 0);
    EXPECT_EQ(s.form.CurrentComic()->Name, "Beta");
    EXPECT_EQ(test::ShownColour(s.form), QColor(Qt::green));
}

TEST(Startup, MissingCatalogueEndsWithAMessageNamingTheFile)
{
    {
        MessageBoxRecorder boxes;
        ProgramFolder folder;
        Started s;
        EXPECT_FALSE(s.Start(folder.Options()));
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].kind, platform::BoxKind::Error);
        EXPECT_TRUE(boxes.Texts()[0].contains(folder.Path() + "Comics.urls"))
            << boxes.Texts()[0].toStdString();
        EXPECT_FALSE(s.form.isVisible());
        EXPECT_FALSE(folder.IniExists());
    }
}

TEST(Startup, EmptyCatalogueOpensAddComicThenTheSettingsAndCancelEnds)
{
    // The shipped catalogue may list nothing: the first start opens "Add comic" at once,
    // without a box; its Cancel leads to the settings dialog, whose Cancel with nothing to
    // choose ends the program instead of holding the dialog open.
    MessageBoxRecorder boxes;
    ProgramFolder folder;
    folder.WriteCatalogue("");
    Started s;
    QStringList shown;
    s.form.RunAddComicModal = [&](QDialog& d) {
        auto& add = static_cast<app::TfrmAddComic&>(d);
        add.show();
        if (add.lblHint->isVisible() && !s.form.isVisible())
            shown << "Add comic";
        add.btnCancel->click();
        return add.result() == QDialog::Accepted;
    };
    s.form.RunSettingsModal = [&] {
        app::TfrmSettings& dlg = s.form.Settings();
        dlg.show();
        if (dlg.btnNewComic->isVisible() && dlg.lblAddHint->isVisible())
            shown << "Settings";
        dlg.btnCancel->click();
        return dlg.result() == QDialog::Accepted;
    };
    EXPECT_FALSE(s.Start(folder.Options()));
    EXPECT_EQ(shown, (QStringList{"Add comic", "Settings"}));
    EXPECT_EQ(boxes.Texts(), QStringList{});
    EXPECT_FALSE(s.form.isVisible());
}

TEST(Startup, EmptyComicsDirFallsBackToTheDefaultFolder)
{
    MessageBoxRecorder boxes;
    ProgramFolder folder;
    folder.WriteCatalogue("Alpha\thttp://x/a/\r\n");
    folder.WriteIni("[Comics]\r\nComicsDir=\r\nAlpha=1\r\n");
    folder.AddGif("Alpha", "20010101", "red");
    Started s;
    ASSERT_TRUE(s.Start(folder.Options()));
    EXPECT_EQ(s.form.StripsDB().Dir(), folder.Path() + "Comics/");
    EXPECT_EQ(test::ShownColour(s.form), QColor(Qt::red));

    ProgramFolder other;
    other.WriteCatalogue("Alpha\thttp://x/a/\r\n");
    other.WriteIni(("[Comics]\r\nComicsDir=" + folder.Path() + "Comics\r\nAlpha=1\r\n").toLocal8Bit());
    Started t;
    ASSERT_TRUE(t.Start(other.Options()));
    EXPECT_EQ(t.form.StripsDB().Dir(), folder.Path() + "Comics/");
    EXPECT_EQ(test::ShownColour(t.form), QColor(Qt::red));
}

TEST(Startup, FirstStartAsksForComicsBeforeAnyWindowShows)
{
    MessageBoxRecorder boxes;
    ProgramFolder folder;
    folder.WriteCatalogue("Beta\thttp://x/b/\r\nAlpha\thttp://x/a/\r\n");
    folder.AddGif("Alpha", "20010101", "red");
    Started s;
    bool ran = false;
    s.form.RunSettingsModal = [&] {
        ran = true;
        EXPECT_EQ(boxes.Texts(), QStringList{"Please select at least one comic and configure the program."});
        EXPECT_FALSE(s.form.isVisible());
        app::TfrmSettings& dlg = s.form.Settings();
        dlg.show();
        EXPECT_EQ(dlg.lstboxComicsToGet->count(), 0);
        dlg.btnCancel->click(); // refused: nothing chosen yet
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_EQ(boxes.Texts().last(), "You have to select at least one comic");
        dlg.lstboxComicsNotToGet->item(0)->setSelected(true); // "Alpha", sorted first
        dlg.btnAddComic->click();
        dlg.btnOk->click();
        EXPECT_FALSE(dlg.isVisible());
        return dlg.result() == QDialog::Accepted;
    };
    ASSERT_TRUE(s.Start(folder.Options()));
    EXPECT_TRUE(ran);
    EXPECT_TRUE(s.form.isVisible());
    EXPECT_EQ(s.form.pos(), QPoint(1, 1));
    EXPECT_EQ(s.form.size(), QSize(630, 470));
    ASSERT_EQ(s.form.comboComics->count(), 1);
    EXPECT_EQ(s.form.comboComics->currentText(), "Alpha");
    EXPECT_EQ(test::ShownColour(s.form), QColor(Qt::red));
    EXPECT_TRUE(folder.ReadIni().contains("Alpha=1"));
    EXPECT_TRUE(folder.ReadIni().contains("Beta=0"));
}

TEST(Startup, FirstStartLeftWithoutAComicEndsInOrder)
{
    MessageBoxRecorder boxes;
    ProgramFolder folder;
    folder.WriteCatalogue("Alpha\thttp://x/a/\r\n");
    Started s; // the injected dialog closes without OK
    EXPECT_FALSE(s.Start(folder.Options()));
    EXPECT_TRUE(s.log->calls.contains("Settings"));
    EXPECT_FALSE(s.form.isVisible());
}

TEST(Startup, StartMinimizedShowsNoWindowUntilTheTrayRestoresIt)
{
    MessageBoxRecorder boxes;
    ProgramFolder folder;
    folder.WriteCatalogue("Alpha\thttp://x/a/\r\n");
    folder.WriteIni(
        "[Comics]\r\nAlpha=1\r\n[Misc]\r\nStartMinimized=1\r\n[Updates]\r\nUpdateProgramStart=0\r\n"
        "[Window]\r\nLeftPos=33\r\nTopPos=44\r\nWidth=600\r\nHeight=400\r\n");
    Started s;
    ASSERT_TRUE(s.Start(folder.Options()));
    EXPECT_FALSE(s.form.isVisible());
    // Hidden, not minimised: X would map a minimised window minimised when the tray shows it.
    EXPECT_FALSE(s.form.isMinimized());
    EXPECT_EQ(s.log->calls,
              (QStringList{"SetTrayStartMinimized 1", "SetTrayMinimizeToTray 1", "SetTrayMinimizeToTray 1"}));

    s.form.TrayIcon1DblClick();
    EXPECT_TRUE(s.form.isVisible());
    EXPECT_TRUE(s.form.RestoredFromTray());
    EXPECT_EQ(s.form.pos(), QPoint(33, 44));
    EXPECT_EQ(s.form.size(), QSize(600, 400));
}

TEST(Startup, StartMinimizedStaysMinimizedWithASavedMaximizedWindow)
{
    MessageBoxRecorder boxes;
    ProgramFolder folder;
    folder.WriteCatalogue("Alpha\thttp://x/a/\r\n");
    folder.WriteIni(
        "[Comics]\r\nAlpha=1\r\n[Misc]\r\nStartMinimized=1\r\n[Updates]\r\nUpdateProgramStart=0\r\n"
        "[Window]\r\nMaximized=1\r\n");
    Started noTray;
    auto desktop = std::make_unique<test::RecordingDesktop>(noTray.log);
    desktop->hasTray = false;
    noTray.form.SetDesktopIntegration(std::move(desktop));
    ASSERT_TRUE(noTray.Start(folder.Options()));
    EXPECT_TRUE(noTray.form.isVisible());
    EXPECT_TRUE(test::WaitFor([&] { return noTray.form.isMinimized(); }));
    EXPECT_TRUE(noTray.form.windowState() & Qt::WindowMaximized); // as it opens once restored
    noTray.form.showNormal();                                     // the user clicks the task-bar entry
    EXPECT_TRUE(noTray.form.isMaximized() || noTray.form.windowState() == Qt::WindowNoState);

    Started inTray; // the tray icon restores it maximised
    ASSERT_TRUE(inTray.Start(folder.Options()));
    EXPECT_FALSE(inTray.form.isVisible());
    inTray.form.TrayIcon1DblClick();
    EXPECT_TRUE(inTray.form.isVisible());
    EXPECT_TRUE(inTray.form.isMaximized());
    EXPECT_FALSE(inTray.form.isMinimized());
}

TEST(Startup, StartMinimizedWithoutATrayKeepsTheWindowReachableOnTheTaskBar)
{
    MessageBoxRecorder boxes;
    ProgramFolder folder;
    folder.WriteCatalogue("Alpha\thttp://x/a/\r\n");
    folder.WriteIni(
        "[Comics]\r\nAlpha=1\r\n[Misc]\r\nStartMinimized=1\r\n[Updates]\r\nUpdateProgramStart=0\r\n");
    Started s;
    auto desktop = std::make_unique<test::RecordingDesktop>(s.log);
    desktop->hasTray = false;
    s.form.SetDesktopIntegration(std::move(desktop));
    ASSERT_TRUE(s.Start(folder.Options()));
    EXPECT_TRUE(s.form.isVisible());
    // Minimised once it is on screen: X window managers map it normal otherwise.
    EXPECT_TRUE(test::WaitFor([&] { return s.form.isMinimized(); }));
    EXPECT_TRUE(s.form.isVisible());
}

TEST(Startup, CatalogueNamesThatCannotBeSettingKeysAreLeftOutOnceAndTheFolderSurvives)
{
    MessageBoxRecorder boxes;
    ProgramFolder folder;
    const QString store = folder.Path() + "Store/";
    folder.WriteCatalogue("ComicsDir\thttp://x/cd/\r\ncurrentcomic\thttp://x/cc/\r\nA=B\thttp://x/ab/\r\n"
                          "[Sec]\thttp://x/s/\r\n Padded\thttp://x/p/\r\nAlpha\thttp://x/a/\r\n");
    folder.WriteIni(
        ("[Comics]\r\nComicsDir=" + store + "\r\nAlpha=1\r\n[Updates]\r\nUpdateProgramStart=0\r\n")
            .toLocal8Bit());
    app::TStartup startup;
    ASSERT_TRUE(startup.Start(folder.Options()));
    app::TForm1& form = startup.MainWindow();
    EXPECT_EQ(form.AllComics().Names(), QStringList{"Alpha"});
    EXPECT_EQ(form.comboComics->count(), 1);
    EXPECT_EQ(form.StripsDB().Dir(), store);

    // Settings, OK writes a key per comic: the folder stays what it was.
    app::TfrmSettings& settings = form.Settings();
    settings.show();
    settings.btnOk->click();
    EXPECT_TRUE(folder.ReadIni().contains("ComicsDir=" + store)) << folder.ReadIni().toStdString();
    EXPECT_TRUE(boxes.Texts().isEmpty()) << boxes.Texts().join("|").toStdString();

    startup.DebugLog().show();
    const QStringList log = startup.DebugLog().Memo1->toPlainText().split('\n');
    for (const QString name : {"ComicsDir", "currentcomic", "A=B", "[Sec]", " Padded"})
        EXPECT_EQ(log.filter("\"" + name + "\" is left out").size(), 1) << name.toStdString();
    startup.DebugLog().hide();
}

TEST(Startup, NamesThatDifferOnlyInCaseAreLoggedOncePerPair)
{
    MessageBoxRecorder boxes;
    ProgramFolder folder;
    folder.WriteCatalogue(
        "Alpha\thttp://x/a/\r\nALPHA\thttp://x/A/\r\nBeta\thttp://x/b/\r\nALPHA\thttp://x/A2/\r\n"
        "alpha\thttp://x/a2/\r\nAlpha\thttp://x/a3/\r\n\xc3\x9c"
        "ber\thttp://x/u/\r\n\xc3\xbc"
        "BER\thttp://x/u2/\r\n");
    folder.WriteIni("[Comics]\r\nBeta=1\r\n[Updates]\r\nUpdateProgramStart=0\r\n");
    app::TStartup startup;
    ASSERT_TRUE(startup.Start(folder.Options()));
    startup.DebugLog().show();
    const QStringList log =
        startup.DebugLog().Memo1->toPlainText().split('\n').filter("differ only in letter case");
    startup.DebugLog().hide();
    EXPECT_EQ(log,
              (QStringList{"Catalogue: the comics \"Alpha\" and \"ALPHA\" differ only in letter case; they "
                           "share one key of the configuration file, so choosing one chooses both",
                           "Catalogue: the comics \"Alpha\" and \"alpha\" differ only in letter case; they "
                           "share one key of the configuration file, so choosing one chooses both",
                           QString::fromUtf8("Catalogue: the comics \"\xc3\x9c"
                                             "ber\" and \"\xc3\xbc"
                                             "BER\" differ "
                                             "only in letter case; they share one key of the configuration "
                                             "file, so choosing one chooses both")}));
}

TEST(Startup, RelativeComicsDirMeansTheDefaultFolder)
{
    MessageBoxRecorder boxes;
    ProgramFolder folder;
    folder.WriteCatalogue("Alpha\thttp://x/a/\r\n");
    folder.WriteIni(
        "[Comics]\r\nComicsDir=Elsewhere/Comics\r\nAlpha=1\r\n[Updates]\r\nUpdateProgramStart=0\r\n");
    folder.AddGif("Alpha", "20010101", "red");
    test::TestProgram s;
    ASSERT_TRUE(s.Start(folder.Options()));
    EXPECT_EQ(s.form.StripsDB().Dir(), folder.Path() + "Comics/");
    EXPECT_EQ(test::ShownColour(s.form), QColor(Qt::red));
}

TEST(MessageBoxes, OutsideTextIsPlainAndItsControlCharactersEscaped)
{
    // The program's real boxes: a name with a tag and an escape shows as written.
    auto previous = platform::MessageBoxService::Install(std::make_unique<app::QtMessageBoxes>());
    const auto restore = qScopeGuard([&] { platform::MessageBoxService::Install(std::move(previous)); });
    QString seen;
    Qt::TextFormat format = Qt::AutoText;
    QTimer::singleShot(0, [&] {
        QMessageBox* box = nullptr;
        test::WaitFor([&] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible())
                    box = b;
            }
            return box != nullptr;
        });
        if (!box)
            return;
        seen = box->text();
        format = box->textFormat();
        box->accept();
    });
    platform::MessageBoxService::Error("Couldn't read <img src=\"/etc/x.png\"><b>Bold</b>\x1b[2J");
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(seen, "Couldn't read <img src=\"/etc/x.png\"><b>Bold</b>\\x1b[2J");
}
