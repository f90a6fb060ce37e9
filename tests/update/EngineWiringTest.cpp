// The update engine inside the real main window: start-up update, commands, abort.
#include "MessageBoxRecorder.h"
#include "MisbehavingServer.h"
#include "NginxServer.h"
#include "QStringPrinter.h"
#include "TestPaths.h"
#include "app/StartupOptions.h"
#include "app/StripPicture.h"
#include "app/TForm1.h"
#include "app/TStartup.h"
#include "app/UpdateEngine.h"
#include "comics/TComicInfo.h"
#include "imaging/TGifDecoder.h"
#include "platform/IniFile.h"
#include "platform/Tunables.h"
#include "update/TInfoForm.h"
#include "update/TUpdateScheduler.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace pw;

namespace {

struct WiringTest : ::testing::Test {
    QTemporaryDir folder;
    test::MessageBoxRecorder boxes;

    const int savedSliceMs = platform::Tunables::AddComicsSliceMs;

    void TearDown() override
    {
        qunsetenv("PANELWICK_SITE_BASE");
        platform::Tunables::AddComicsSliceMs = savedSliceMs;
    }

    void Prepare(const QByteArray& catalogue, const QByteArray& ini)
    {
        QFile c(folder.filePath("Comics.urls"));
        ASSERT_TRUE(c.open(QIODevice::WriteOnly));
        c.write(catalogue);
        QFile i(folder.filePath("panelwick.ini"));
        ASSERT_TRUE(i.open(QIODevice::WriteOnly));
        i.write(ini);
    }
    app::TStartupOptions Options() const
    {
        return *app::TStartupOptions::Parse({"--program-folder", folder.path()},
                                            folder.filePath("panelwick"));
    }
    static app::UpdateEngine& Engine(app::TStartup& s)
    {
        auto* engine = dynamic_cast<app::UpdateEngine*>(&s.MainWindow().Updates());
        EXPECT_NE(engine, nullptr);
        return *engine;
    }
    static bool Idle(app::TStartup& s) { return !Engine(s).Scheduler().Busy(); }
    // The comic "Web" on nginx: a page dated 4 December 2001 showing a GIF strip.
    static void ServeWebComic(test::NginxServer& nginx)
    {
        ASSERT_TRUE(nginx.Start()) << nginx.Error().toStdString();
        qputenv("PANELWICK_SITE_BASE", nginx.Url("").toLatin1());
        ASSERT_TRUE(nginx.WriteFile("w/index.html",
                                    "<html>\n<img src=\"/archive/images/w.gif\"> archive/images\n</html>\n"));
        QFile page(nginx.Root() + "/w/index.html");
        ASSERT_TRUE(page.open(QIODevice::ReadWrite));
        ASSERT_TRUE(page.setFileTime(QDateTime(QDate(2001, 12, 4), QTime(10, 0), Qt::UTC),
                                     QFileDevice::FileModificationTime));
        page.close();
        QFile gif(test::SourceDir() + "/tests/smoke/smoke-a.gif");
        ASSERT_TRUE(gif.open(QIODevice::ReadOnly));
        ASSERT_TRUE(nginx.WriteFile("archive/images/w.gif", gif.readAll()));
    }
};

} // namespace

TEST_F(WiringTest, StartupUpdateShowsTheNewStripAndCommandsWork)
{
    test::NginxServer nginx;
    ASSERT_NO_FATAL_FAILURE(ServeWebComic(nginx));
    Prepare("Web\thttp://comics.example/w/index.html\r\n",
            "[Comics]\r\nWeb=1\r\n[Updates]\r\nShowAdvancedInfo=1\r\nUpdateProgramStart=1\r\n"
            "[Wallpaper]\r\nComic=Web\r\n");

    app::TStartup startup;
    ASSERT_TRUE(startup.Start(Options()));
    app::TForm1& form = startup.MainWindow();
    app::UpdateEngine& engine = Engine(startup);
    ASSERT_NE(engine.InfoForm(), nullptr);
    EXPECT_TRUE(engine.InfoForm()->IsShowing()); // ShowAdvancedInfo=1
    EXPECT_TRUE(form.bitbtnAbort->isEnabled());
    ASSERT_TRUE(test::WaitFor([&] { return Idle(startup); }, 20000));

    EXPECT_EQ(form.ProgressLabel->text(), "1 updated, 0 didn't need a update, 0 failed.");
    EXPECT_FALSE(form.bitbtnAbort->isEnabled());
    EXPECT_EQ(form.ProgressBar->value(), 0);
    ASSERT_TRUE(form.CurrentComic());
    ASSERT_TRUE(form.CurrentComic()->CurrentStrip);
    EXPECT_EQ(form.CurrentComic()->CurrentStrip->FileName, "Web20011204.gif");
    EXPECT_EQ(engine.InfoForm()->ListBox1->item(0)->text(), "Web: New strip updated");
    // Web is the wallpaper comic: its new strip is the desktop's picture now.
    const QImage wallpaper(qEnvironmentVariable("XDG_DATA_HOME") + "/panelwick/Panelwick Wallpaper.bmp",
                           "BMP");
    EXPECT_EQ(wallpaper.convertToFormat(QImage::Format_RGB32),
              imaging::TGifDecoder::GetGIFFile(form.CurrentComic()->CurrentStrip->StripPath())
                  .convertToFormat(QImage::Format_RGB32));

    // Ctrl+U: the same date is stored now.
    QTest::keyClick(&form, Qt::Key_U, Qt::ControlModifier);
    EXPECT_FALSE(Idle(startup));
    ASSERT_TRUE(test::WaitFor([&] { return Idle(startup); }, 20000));
    EXPECT_EQ(form.ProgressLabel->text(), "0 updated, 1 didn't need a update, 0 failed.");

    // The advanced info button toggles the window.
    form.bitbtnAdvancedInfo->click();
    EXPECT_FALSE(engine.InfoForm()->IsShowing());
    form.bitbtnAdvancedInfo->click();
    EXPECT_TRUE(engine.InfoForm()->IsShowing());
    EXPECT_TRUE(boxes.Texts().isEmpty()) << boxes.Texts().join("\n").toStdString();
}

TEST_F(WiringTest, AbortAllUpdatesMenuAbortsLikeTheButton)
{
    test::MisbehavingServer server;
    server.SetScript(test::MisbehavingServer::SilenceAfterAccept());
    ASSERT_TRUE(server.Start());
    Prepare(("Quiet\t" + server.Url("/q.html") + "\r\nHush\t" + server.Url("/h.html") + "\r\n").toUtf8(),
            "[Comics]\r\nQuiet=1\r\nHush=1\r\n[Updates]\r\nUpdateProgramStart=0\r\n[Downloads]\r\n"
            "MaxSimDownloads=1\r\n");
    app::TStartup startup;
    ASSERT_TRUE(startup.Start(Options()));
    app::TForm1& form = startup.MainWindow();
    EXPECT_TRUE(Idle(startup)); // no update at start
    EXPECT_FALSE(form.bitbtnAbort->isEnabled());

    form.Updatecomicstrips1->trigger();
    ASSERT_TRUE(test::WaitFor([&] { return server.Connections() == 1; }));
    EXPECT_TRUE(form.bitbtnAbort->isEnabled());
    form.Abortallupdates1->trigger();
    ASSERT_TRUE(test::WaitFor([&] { return Idle(startup); }));
    EXPECT_EQ(form.ProgressLabel->text(), "0 updated, 0 didn't need a update, 2 failed.");
    EXPECT_FALSE(form.bitbtnAbort->isEnabled());
    EXPECT_EQ(Engine(startup).InfoForm()->AdvancedInfoSystem().Results(),
              QStringList{"Quiet: Aborted by user"});

    // Esc presses the abort button while it is enabled.
    form.Updatecurrentcomic1->trigger();
    ASSERT_TRUE(test::WaitFor([&] { return server.Connections() == 2; }));
    QTest::keyClick(&form, Qt::Key_Escape);
    ASSERT_TRUE(test::WaitFor([&] { return Idle(startup); }));
    EXPECT_EQ(form.ProgressLabel->text(), "0 updated, 0 didn't need a update, 1 failed.");
}

TEST_F(WiringTest, AStripThatCannotBeDrawnAtStartCancelsNeitherTheUpdateNorTheDailyTimer)
{
    test::NginxServer nginx;
    ASSERT_NO_FATAL_FAILURE(ServeWebComic(nginx));
    Prepare(
        "Web\thttp://comics.example/w/index.html\r\n",
        "[Comics]\r\nWeb=1\r\nCurrentComic=Web\r\n[Updates]\r\nUpdateProgramStart=1\r\nUpdateDaily=1\r\n");
    // The remembered comic's strip is a partly downloaded JPEG.
    QFile truncated(test::FixturePath("images/truncated.jpg"));
    ASSERT_TRUE(truncated.open(QIODevice::ReadOnly));
    const QDir comic(folder.filePath("Comics/Web"));
    ASSERT_TRUE(QDir().mkpath(comic.path()));
    QFile damaged(comic.filePath("Web20011203.jpg"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write(truncated.readAll());
    damaged.close();

    app::TStartup startup;
    ASSERT_TRUE(startup.Start(Options()));
    app::TForm1& form = startup.MainWindow();
    ASSERT_EQ(boxes.Boxes().size(), 1u) << boxes.Texts().join("\n").toStdString();
    EXPECT_TRUE(boxes.Texts()[0].contains("Premature end")) << boxes.Texts()[0].toStdString();
    EXPECT_EQ(form.CurrentComic()->CurrentStrip->FileName, "Web20011203.jpg");
    EXPECT_TRUE(Engine(startup).Scheduler().DailyTimerEnabled());
    EXPECT_TRUE(form.bitbtnAbort->isEnabled()) << "the update at start is running";
    ASSERT_TRUE(test::WaitFor([&] { return Idle(startup); }, 20000));

    EXPECT_EQ(form.ProgressLabel->text(), "1 updated, 0 didn't need a update, 0 failed.");
    EXPECT_EQ(form.CurrentComic()->CurrentStrip->FileName, "Web20011204.gif");
    EXPECT_FALSE(form.Image1->picture().isNull()) << "the new strip is drawn";
    EXPECT_EQ(comic.entryList(QDir::Files | QDir::Hidden, QDir::Name),
              (QStringList{"Web.unr", "Web20011203.jpg", "Web20011204.gif"}));
    EXPECT_EQ(QFileInfo(comic.filePath("Web.unr")).size(), 0) << "the new strip was shown, so read";
    EXPECT_EQ(boxes.Boxes().size(), 1u);
}

TEST_F(WiringTest, HandEditedSlotLimitIsClampedWhereverItIsRead)
{
    test::MisbehavingServer server;
    server.SetScript(test::MisbehavingServer::SilenceAfterAccept());
    ASSERT_TRUE(server.Start());
    const QByteArray catalogue =
        ("Quiet\t" + server.Url("/q.html") + "\r\nHush\t" + server.Url("/h.html") + "\r\n").toUtf8();
    const QByteArray chosen = "[Comics]\r\nQuiet=1\r\nHush=1\r\n[Updates]\r\nUpdateProgramStart=0\r\n";
    {
        // A huge value must not size the slot grid.
        Prepare(catalogue, chosen + "[Downloads]\r\nMaxSimDownloads=2000000000\r\n");
        app::TStartup startup;
        ASSERT_TRUE(startup.Start(Options()));
        EXPECT_EQ(Engine(startup).InfoForm()->StringGrid1->rowCount(), 99);
        EXPECT_EQ(Engine(startup).InfoForm()->AdvancedInfoSystem().SlotCount(), 99);
    }
    // 0 still gives the one running job a row.
    Prepare(catalogue, chosen + "[Downloads]\r\nMaxSimDownloads=0\r\n");
    app::TStartup startup;
    ASSERT_TRUE(startup.Start(Options()));
    update::TInfoForm& info = *Engine(startup).InfoForm();
    EXPECT_EQ(info.StringGrid1->rowCount(), 1);
    startup.MainWindow().Updatecomicstrips1->trigger();
    ASSERT_TRUE(test::WaitFor([&] { return server.Connections() == 1; }));
    EXPECT_EQ(Engine(startup).Scheduler().ActiveDownloads().Count(), 1);
    EXPECT_EQ(info.StringGrid1->item(0, 1)->text(), "Quiet");
    startup.MainWindow().bitbtnAbort->click();
    ASSERT_TRUE(test::WaitFor([&] { return Idle(startup); }));
}

TEST_F(WiringTest, ComicsStillToBeAddedSurviveASettingsChangeAndAreRequestedOnceInOrder)
{
    test::NginxServer nginx;
    ASSERT_TRUE(nginx.Start()) << nginx.Error().toStdString();
    qputenv("PANELWICK_SITE_BASE", nginx.Url("").toLatin1());
    QFile gif(test::SourceDir() + "/tests/smoke/smoke-a.gif");
    ASSERT_TRUE(gif.open(QIODevice::ReadOnly));
    const QByteArray strip = gif.readAll();
    QByteArray catalogue;
    QByteArray chosen;
    QStringList pages;
    for (int i = 0; i < 8; ++i) {
        // Every page is dated as its stored strip: one request each.
        const QString name = QStringLiteral("C%1").arg(i);
        ASSERT_TRUE(nginx.WriteFile(name + "/index.html", "<html></html>",
                                    QDateTime(QDate(2001, 12, 4), QTime(10, 0), Qt::UTC)));
        ASSERT_TRUE(QDir().mkpath(folder.filePath("Comics/" + name)));
        QFile stored(folder.filePath("Comics/" + name + "/" + name + "20011204.gif"));
        ASSERT_TRUE(stored.open(QIODevice::WriteOnly));
        stored.write(strip);
        catalogue += (name + "\thttp://comics.example/" + name + "/index.html\r\n").toUtf8();
        chosen += (name + "=1\r\n").toUtf8();
        pages << "/" + name + "/index.html";
    }
    Prepare(catalogue, "[Comics]\r\n" + chosen +
                           "CurrentComic=C6\r\n[Updates]\r\nUpdateProgramStart=0\r\n[Downloads]\r\n"
                           "MaxSimDownloads=1\r\n");
    platform::Tunables::AddComicsSliceMs = 0; // one comic a turn
    app::TStartup startup;
    ASSERT_TRUE(startup.Start(Options()));
    app::TForm1& form = startup.MainWindow();
    update::TUpdateScheduler& scheduler = Engine(startup).Scheduler();

    form.Updatecomicstrips1->trigger();
    form.Updatecurrentcomic1->trigger(); // C6 comes in its turn
    QCoreApplication::processEvents();
    ASSERT_LT(scheduler.ActiveDownloads().Count() + scheduler.QueuedDownloads().Count(), 8) << "still adding";
    // The settings dialog closes with OK, half the comics given up: the chosen list is
    // rebuilt. The batch holds the comics chosen when it was asked for.
    form.RunSettingsModal = [&] {
        for (int i = 1; i < 8; i += 2)
            form.Ini().WriteBool("Comics", QStringLiteral("C%1").arg(i), false);
        return true;
    };
    form.Settings1Click();
    EXPECT_EQ(form.ComicsToGet().Count(), 4);
    EXPECT_TRUE(form.bitbtnAbort->isEnabled());
    ASSERT_TRUE(test::WaitFor([&] { return Idle(startup); }, 20000));

    QStringList requested;
    for (const QByteArray& line : nginx.AccessLog().split('\n'))
        if (line.contains("GET /C"))
            requested << QString::fromLatin1(line.split(' ').value(6));
    EXPECT_EQ(requested, pages);
    EXPECT_EQ(form.ProgressLabel->text(), "0 updated, 8 didn't need a update, 0 failed.");
    EXPECT_FALSE(form.bitbtnAbort->isEnabled());
    EXPECT_EQ(Engine(startup).InfoForm()->AdvancedInfoSystem().Results().size(), 8);
    EXPECT_TRUE(boxes.Texts().isEmpty()) << boxes.Texts().join("\n").toStdString();
}
