// "Fetch Older Strips" in the real main window, with the real update engine and nginx:
// the whole archive of the comic shown, then a run stopped by Esc.
#include "MessageBoxRecorder.h"
#include "NginxServer.h"
#include "TestPaths.h"
#include "app/StartupOptions.h"
#include "app/TForm1.h"
#include "app/TStartup.h"
#include "app/UpdateEngine.h"
#include "comics/TComicInfo.h"
#include "update/TInfoForm.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace pw;

namespace {

QByteArray ReadFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A feed of `count` items dated 1 to count May 2025, newest first; pictures under dir.
QByteArray Feed(const test::NginxServer& nginx, const QString& dir, int count)
{
    QByteArray xml = "<rss version=\"2.0\"><channel><title>T</title>";
    for (int n = count; n >= 1; --n)
        xml += QString("<item><title>%1</title><pubDate>%2 May 2025 12:00:00 GMT</pubDate>"
                       "<enclosure url=\"%3\" type=\"image/png\"/></item>")
                   .arg(n)
                   .arg(n)
                   .arg(nginx.Url(QString("/%1/%2.png").arg(dir).arg(n)))
                   .toUtf8();
    return xml + "</channel></rss>";
}

} // namespace

TEST(OlderStripsWindow, TheMenuEntryFetchesTheShownComicsArchiveAndEscStopsIt)
{
    test::MessageBoxRecorder boxes;
    test::NginxServer::Options site;
    site.ServerBlock = "location /slow/ { limit_rate 2k; }";
    test::NginxServer nginx(site);
    ASSERT_TRUE(nginx.Start()) << nginx.Error().toStdString();
    const QByteArray png = ReadFile(test::FixturePath("images/quadrants.png"));
    ASSERT_FALSE(png.isEmpty());
    ASSERT_TRUE(nginx.WriteFile("fast/feed.xml", Feed(nginx, "fast", 4)));
    for (int n = 1; n <= 4; ++n)
        ASSERT_TRUE(nginx.WriteFile(QString("fast/%1.png").arg(n), png));
    // The older strip downloads slowly enough to be stopped: the newer one arrives first.
    ASSERT_TRUE(nginx.WriteFile("slow/feed.xml", Feed(nginx, "slow", 3)));
    ASSERT_TRUE(nginx.WriteFile("slow/3.png", png));
    ASSERT_TRUE(nginx.WriteFile("slow/2.png", png + QByteArray(4 * 1024 * 1024, '\0')));
    ASSERT_TRUE(nginx.WriteFile("slow/1.png", png));

    QTemporaryDir folder;
    QFile catalogue(folder.filePath("Comics.urls"));
    ASSERT_TRUE(catalogue.open(QIODevice::WriteOnly));
    catalogue.write(
        ("Fast\t" + nginx.Url("/fast/feed.xml") + "\r\nSlow\t" + nginx.Url("/slow/feed.xml") + "\r\n")
            .toUtf8());
    catalogue.close();
    QFile ini(folder.filePath("panelwick.ini"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[Comics]\r\nFast=1\r\nSlow=1\r\n[Updates]\r\nUpdateProgramStart=0\r\nOlderStripsPause=0\r\n");
    ini.close();

    app::TStartup startup;
    ASSERT_TRUE(startup.Start(
        *app::TStartupOptions::Parse({"--program-folder", folder.path()}, folder.filePath("panelwick"))));
    app::TForm1& form = startup.MainWindow();
    auto* engine = dynamic_cast<app::UpdateEngine*>(&form.Updates());
    ASSERT_NE(engine, nullptr);
    ASSERT_EQ(form.CurrentComic()->Name, "Fast");
    // The entry sits in the Update menu.
    QMenu* update = form.menuBar()->findChild<QMenu*>("Update1");
    ASSERT_NE(update, nullptr);
    EXPECT_TRUE(update->actions().contains(form.FetchOlderStrips1));
    EXPECT_EQ(form.FetchOlderStrips1->text(), "Fetch &Older Strips");

    form.FetchOlderStrips1->trigger();
    EXPECT_TRUE(form.bitbtnAbort->isEnabled());
    EXPECT_FALSE(form.FetchOlderStrips1->isEnabled()) << "one run at a time";
    ASSERT_TRUE(test::WaitFor([&] { return form.FetchOlderStrips1->isEnabled(); }));
    EXPECT_EQ(form.ProgressLabel->text(), "Fast: 4 older strips stored; no older strip is left");
    EXPECT_FALSE(form.bitbtnAbort->isEnabled());
    EXPECT_EQ(engine->InfoForm()->AdvancedInfoSystem().Results(),
              QStringList{"Fast: 4 older strips stored; no older strip is left"});
    // The comic had nothing to show; now it shows its newest strip, and nothing is unread.
    ASSERT_TRUE(form.CurrentComic()->CurrentStrip);
    EXPECT_EQ(form.CurrentComic()->CurrentStrip->FileName, "Fast20250504.png");
    EXPECT_EQ(ReadFile(folder.filePath("Comics/Fast/Fast.unr")), "");

    QTest::keyClick(&form, Qt::Key_Down);
    ASSERT_EQ(form.CurrentComic()->Name, "Slow");
    const QDir slow(folder.filePath("Comics/Slow"));
    form.FetchOlderStrips1->trigger();
    // The newer strip is stored and the older one is on its way: Esc stops the run.
    ASSERT_TRUE(test::WaitFor([&] {
        return slow.exists("Slow20250503.png") &&
               !slow.entryList({".*.part"}, QDir::Files | QDir::Hidden).isEmpty();
    }));
    QTest::keyClick(&form, Qt::Key_Escape);
    ASSERT_TRUE(test::WaitFor([&] { return form.FetchOlderStrips1->isEnabled(); }));
    EXPECT_EQ(form.ProgressLabel->text(), "Slow: Aborted by user (1 older strip stored)");
    EXPECT_FALSE(form.bitbtnAbort->isEnabled());
    // What was stored stays; the half-done strip is gone.
    EXPECT_EQ(slow.entryList({"Slow2*"}, QDir::Files), QStringList{"Slow20250503.png"});
    EXPECT_TRUE(slow.entryList({"*.part"}, QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_TRUE(boxes.Texts().isEmpty()) << boxes.Texts().join("\n").toStdString();
}
