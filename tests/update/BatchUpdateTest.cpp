#include "BatchTest.h"
#include "MisbehavingServer.h"
#include "NginxServer.h"
#include "QStringPrinter.h"
#include "TinyproxyServer.h"
#include "comics/ComicSite.h"
#include "platform/IniFile.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace pw;

using test::BatchTest;
using test::Bytes;
using test::Page;
using test::ReadAll;

TEST_F(BatchTest, NewAndStoredStripsFromNginx)
{
    test::NginxServer nginx;
    ASSERT_TRUE(nginx.Start()) << nginx.Error().toStdString();
    const QDateTime march7(QDate(2000, 3, 7), QTime(9, 15, 2), Qt::UTC);
    ini.WriteInteger("Downloads", "MaxSimDownloads", 3);
    const QString base = QString::fromLatin1(comics::kComicSiteBase);
    for (int i = 1; i <= 5; ++i) {
        const QString name = QString("Comic %1").arg(i);
        const QString dirName = QString("c%1").arg(i);
        const QString image = dirName + (i % 2 ? ".gif" : ".jpg");
        ASSERT_TRUE(nginx.WriteFile(dirName + "/index.html", Page(image)));
        QFile page(nginx.Root() + "/" + dirName + "/index.html");
        ASSERT_TRUE(page.open(QIODevice::ReadWrite));
        ASSERT_TRUE(page.setFileTime(march7.addDays(i), QFileDevice::FileModificationTime));
        page.close();
        ASSERT_TRUE(nginx.WriteFile("archive/images/" + image, Bytes(char('a' + i), 3000 + i)));
        Choose(name, base + dirName + "/index.html");
    }
    // Comics 4 and 5 already hold the page's date.
    for (int i : {4, 5}) {
        const QString name = QString("Comic %1").arg(i);
        ASSERT_TRUE(QDir().mkpath(folder.filePath("Comics/" + name)));
        QFile stored(Strip(name, name + QString("200003%1.gif").arg(7 + i, 2, 10, QChar('0'))));
        ASSERT_TRUE(stored.open(QIODevice::WriteOnly));
    }

    const BatchTest::Result r = Run(nginx.Url(""));
    ASSERT_EQ(r.exitCode, 0) << r.errors.toStdString();
    ASSERT_EQ(r.lines.size(), 6) << r.lines.join("\n").toStdString();
    EXPECT_EQ(r.lines.last(), "3 updated, 2 didn't need a update, 0 failed.");
    QStringList perComic = r.lines.mid(0, 5);
    perComic.sort();
    EXPECT_EQ(perComic, (QStringList{"Comic 1: New strip updated", "Comic 2: New strip updated",
                                     "Comic 3: New strip updated", "Comic 4: No updated strip found",
                                     "Comic 5: No updated strip found"}))
        << QDir(folder.filePath("Comics/Comic 4")).entryList(QDir::Files).join(",").toStdString();
    EXPECT_EQ(ReadAll(Strip("Comic 1", "Comic 120000308.gif")), Bytes('b', 3001));
    EXPECT_EQ(ReadAll(Strip("Comic 2", "Comic 220000309.jpg")), Bytes('c', 3002));
    EXPECT_EQ(ReadAll(folder.filePath("Comics/Comic 2/Comic 2.unr")), QByteArray("Comic 220000309.jpg\r\n"));
    const QByteArray log = nginx.AccessLog();
    EXPECT_TRUE(log.contains("/archive/images/c3.gif"));
    EXPECT_FALSE(log.contains("/archive/images/c4"));
    EXPECT_FALSE(log.contains("/archive/images/c5"));
}

TEST_F(BatchTest, ShortTimeOutFailsWithTheMessage)
{
    test::MisbehavingServer server;
    server.SetScript(test::MisbehavingServer::SilenceAfterAccept());
    ASSERT_TRUE(server.Start());
    Choose("Sleepy", server.Url("/sleepy.html"));
    const BatchTest::Result r = Run(server.Url(""), {"PANELWICK_JOB_TIMEOUT_MS=300"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.lines, (QStringList{"Sleepy: Timed out", "0 updated, 0 didn't need a update, 1 failed."}));
    EXPECT_TRUE(r.errors.contains("Sleepy timed out while contacting the comic server."))
        << r.errors.toStdString();
    EXPECT_EQ(FilesOf("Sleepy"), QStringList{});
}

TEST_F(BatchTest, BothRequestsGoThroughTheProxy)
{
    test::NginxServer nginx;
    test::TinyproxyServer proxy;
    ASSERT_TRUE(nginx.Start()) << nginx.Error().toStdString();
    ASSERT_TRUE(proxy.Start()) << proxy.Error().toStdString();
    ASSERT_TRUE(nginx.WriteFile("p/index.html", Page("p.gif")));
    ASSERT_TRUE(nginx.WriteFile("archive/images/p.gif", Bytes('p', 2000)));
    ini.WriteBool("Proxy", "UseProxy", true);
    ini.WriteString("Proxy", "ProxyIP", "127.0.0.1");
    ini.WriteString("Proxy", "ProxyPort", QString::number(proxy.Port()));
    Choose("Proxied", QString::fromLatin1(comics::kComicSiteBase) + "p/index.html");
    const BatchTest::Result r = Run(nginx.Url(""));
    ASSERT_EQ(r.exitCode, 0) << r.errors.toStdString();
    EXPECT_EQ(r.lines.value(0), "Proxied: New strip updated");
    const QByteArray origin = nginx.Url("").toLatin1();
    EXPECT_TRUE(proxy.WaitForLog("GET " + origin + "/p/index.html")) << proxy.Log().toStdString();
    EXPECT_TRUE(proxy.WaitForLog("GET " + origin + "/archive/images/p.gif")) << proxy.Log().toStdString();
}

TEST_F(BatchTest, FaultsEndEveryJobAndExitWithOne)
{
    test::MisbehavingServer server;
    server.SetScripts({test::MisbehavingServer::ResetDuringHeader(),
                       test::MisbehavingServer::Respond("HTTP/1.0 404 Not Found\r\n\r\nnope")});
    ASSERT_TRUE(server.Start());
    ini.WriteInteger("Downloads", "MaxSimDownloads", 1);
    Choose("Reset", server.Url("/a.html"));
    Choose("Gone", server.Url("/b.html"));
    Choose("Refused", QString("http://127.0.0.1:%1/c.html").arg(test::MisbehavingServer::RefusingPort()));
    const BatchTest::Result r = Run(server.Url(""));
    EXPECT_EQ(r.exitCode, 1) << r.errors.toStdString();
    ASSERT_EQ(r.lines.size(), 4) << r.lines.join("\n").toStdString();
    EXPECT_TRUE(r.lines[0].startsWith("Reset: Failed: "));
    EXPECT_TRUE(r.lines[1].startsWith("Gone: Failed: ")) << r.lines[1].toStdString();
    EXPECT_TRUE(r.lines[2].startsWith("Refused: Failed: "));
    EXPECT_EQ(r.lines[3], "0 updated, 0 didn't need a update, 3 failed.");
}

TEST_F(BatchTest, NothingChosenCannotStart)
{
    catalogue = "Lonely\thttp://127.0.0.1:9/x.html\r\n";
    const BatchTest::Result r = Run("http://127.0.0.1:9");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.lines.isEmpty());
    EXPECT_TRUE(r.errors.contains("No comic is chosen")) << r.errors.toStdString();
}
