// Comics that follow feeds and pages with a picture, through the real program in batch
// mode against nginx serving feeds shaped like real ones.
#include "BatchTest.h"
#include "NginxServer.h"
#include "QStringPrinter.h"
#include "TestPaths.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace pw;

using test::BatchTest;
using test::ReadAll;

namespace {

// Bytes that begin like the real formats; the update never decodes them.
QByteArray Gif(char seed)
{
    return "GIF89a" + QByteArray(200, seed);
}
QByteArray Png(char seed)
{
    return "\x89PNG\r\n\x1A\n" + QByteArray(200, seed);
}
QByteArray Jpeg(char seed)
{
    return "\xFF\xD8\xFF\xE0" + QByteArray(200, seed);
}

const QDateTime kOld(QDate(2026, 11, 1), QTime(12, 0), Qt::UTC);

struct SourcesBatchTest : BatchTest {
    test::NginxServer nginx{Busy()};

    static test::NginxServer::Options Busy()
    {
        test::NginxServer::Options o;
        o.ServerBlock = "location /busy { add_header Retry-After 3600 always; return 503; }";
        return o;
    }

    void SetUp() override { ASSERT_TRUE(nginx.Start()) << nginx.Error().toStdString(); }

    // A feed of tests/fixtures/feeds with its addresses pointing at nginx.
    void ServeFeed(const QString& fixture, const QString& path)
    {
        const QByteArray feed = ReadAll(test::FixturePath("feeds/" + fixture));
        ASSERT_FALSE(feed.isEmpty()) << fixture.toStdString();
        ASSERT_TRUE(
            nginx.WriteFile(path, QByteArray(feed).replace("@SITE@", nginx.Url("").toLatin1()), kOld));
    }
    void Serve(const QString& path, const QByteArray& bytes, const QDateTime& mtime = kOld)
    {
        ASSERT_TRUE(nginx.WriteFile(path, bytes, mtime));
    }
    QByteArray Unread(const QString& comic) const
    {
        return ReadAll(folder.filePath("Comics/" + comic + "/" + comic + ".unr"));
    }
    QStringList Sorted(QStringList lines) const
    {
        lines.sort();
        return lines;
    }
};

} // namespace

TEST_F(SourcesBatchTest, FeedsAndPagesOfEveryShapeThenOnlyConditionalRequests)
{
    ServeFeed("rss-escaped-img.xml", "escaped/rss.xml");
    Serve("escaped/strips/monday.png", Png('m'));
    Serve("escaped/strips/tuesday.png", Png('t'));
    ServeFeed("atom-html-summary.xml", "atomic/atom.xml");
    Serve("atomic/images/41.gif", Gif('1'));
    Serve("atomic/images/42.gif", Gif('2'));
    ServeFeed("wordpress-encoded.xml", "press/feed.xml"); // oldest first, relative src
    Serve("press/wp-content/uploads/2026/12/paper-jam.jpg", Jpeg('p'));
    Serve("press/wp-content/uploads/2026/12/toner-low.jpg", Jpeg('t'));
    ServeFeed("rss-enclosure.xml", "enclosed/feed.xml");
    Serve("enclosed/strips/7.gif", Png('7')); // named .gif, really a PNG
    ServeFeed("media-content.xml", "media/feed.xml");
    Serve("media/strips/3.jpg", Jpeg('3'));
    ServeFeed("notice-only.xml", "notice/feed.xml");
    Serve("notice/page/12.html",
          "<html><head><meta property=\"og:image\" content=\"../strips/12.png\"></head>");
    Serve("notice/strips/12.png", Png('n'));
    ServeFeed("rss1.rdf", "home/feed.rdf");
    Serve("home/index.html", "<html><head><title>Home</title><link rel=\"alternate\" "
                             "type=\"application/rss+xml\" href=\"feed.rdf\"></head><body>hi</body></html>");
    Serve("rdf/1.png", Png('a'));
    Serve("rdf/2.png", Png('b'));
    Serve("plain/index.html", "<html><head><meta name=twitter:image content=/plain/strip.gif></head></html>",
          QDateTime(QDate(2026, 11, 30), QTime(8, 0), Qt::UTC));
    Serve("plain/strip.gif", Gif('x'));

    Choose("Escaped", nginx.Url("/escaped/rss.xml"));
    Choose("Atomic", nginx.Url("/atomic/atom.xml"));
    Choose("Press", nginx.Url("/press/feed.xml"));
    Choose("Enclosed", nginx.Url("/enclosed/feed.xml"));
    Choose("Media", nginx.Url("/media/feed.xml"));
    Choose("Notice", nginx.Url("/notice/feed.xml"));
    Choose("Home", nginx.Url("/home/index.html"));
    Choose("Plain", nginx.Url("/plain/index.html"));
    // Press already holds its older strip: only the newer one is new.
    ASSERT_TRUE(QDir().mkpath(folder.filePath("Comics/Press")));
    ASSERT_TRUE(QFile(Strip("Press", "Press20261205.jpg")).open(QIODevice::WriteOnly));

    BatchTest::Result r = Run(nginx.Url(""));
    ASSERT_EQ(r.exitCode, 0) << r.errors.toStdString() << r.lines.join("\n").toStdString();
    EXPECT_EQ(
        Sorted(r.lines.mid(0, 8)),
        (QStringList{"Atomic: New strip updated", "Enclosed: New strip updated", "Escaped: New strip updated",
                     "Home: New strip updated", "Media: New strip updated", "Notice: New strip updated",
                     "Plain: New strip updated", "Press: New strip updated"}));
    EXPECT_EQ(r.lines.value(8), "8 updated, 0 didn't need a update, 0 failed.");

    // Every new item, stored under its UTC day and real format, unread oldest first.
    EXPECT_EQ(ReadAll(Strip("Escaped", "Escaped20261207.png")), Png('m'));
    EXPECT_EQ(ReadAll(Strip("Escaped", "Escaped20261208.png")), Png('t'));
    EXPECT_EQ(Unread("Escaped"), "Escaped20261207.png\r\nEscaped20261208.png\r\n");
    EXPECT_EQ(ReadAll(Strip("Atomic", "Atomic20261206.gif")), Gif('1')); // 23:30 at -02:00
    EXPECT_EQ(ReadAll(Strip("Atomic", "Atomic20261207.gif")), Gif('2'));
    EXPECT_EQ(Unread("Atomic"), "Atomic20261206.gif\r\nAtomic20261207.gif\r\n");
    EXPECT_EQ(ReadAll(Strip("Press", "Press20261207.jpg")), Jpeg('t'));
    EXPECT_EQ(Unread("Press"), "Press20261207.jpg\r\n");
    EXPECT_EQ(ReadAll(Strip("Enclosed", "Enclosed20261207.png")), Png('7'));
    EXPECT_EQ(ReadAll(Strip("Media", "Media20261207.jpg")), Jpeg('3'));
    EXPECT_EQ(ReadAll(Strip("Notice", "Notice20261207.png")), Png('n'));
    // Both RSS 1.0 items fall on 1 December (UTC): both are stored, in publication order.
    EXPECT_EQ(ReadAll(Strip("Home", "Home20261201.png")), Png('a'));
    EXPECT_EQ(ReadAll(Strip("Home", "Home20261201-2.png")), Png('b'));
    EXPECT_EQ(Unread("Home"), "Home20261201.png\r\nHome20261201-2.png\r\n");
    EXPECT_EQ(ReadAll(Strip("Plain", "Plain20261130.gif")), Gif('x')); // dated by Last-modified
    for (const char* comic : {"Escaped", "Atomic", "Press", "Enclosed", "Media", "Notice", "Home", "Plain"})
        for (const QString& file : FilesOf(comic))
            EXPECT_FALSE(file.endsWith(".part")) << file.toStdString();

    const QByteArray firstLog = nginx.AccessLog();
    EXPECT_FALSE(firstLog.contains("paper-jam.jpg"));
    EXPECT_FALSE(firstLog.contains("/enclosed/thumbs"));
    EXPECT_TRUE(firstLog.contains("\"Panelwick/")) << firstLog.toStdString();

    // The next update asks each address conditionally and gets 304, and so does the feed
    // that Home's page links (asked whatever the page answered): no other request.
    r = Run(nginx.Url(""));
    ASSERT_EQ(r.exitCode, 0) << r.errors.toStdString() << r.lines.join("\n").toStdString();
    EXPECT_EQ(r.lines.value(8), "0 updated, 8 didn't need a update, 0 failed.");
    const QList<QByteArray> second = nginx.AccessLog().mid(firstLog.size()).split('\n');
    int notModified = 0;
    for (const QByteArray& line : second) {
        if (line.isEmpty())
            continue;
        EXPECT_TRUE(line.contains("\" 304 ")) << line.toStdString();
        ++notModified;
    }
    EXPECT_EQ(notModified, 9);
    EXPECT_EQ(Unread("Escaped"), "Escaped20261207.png\r\nEscaped20261208.png\r\n");

    // A page whose picture changed gives a new strip; the same picture again does not.
    Serve("plain/index.html", "<html><head><meta property=og:image content=/plain/next.gif></head></html>",
          QDateTime(QDate(2026, 12, 1), QTime(8, 0), Qt::UTC));
    Serve("plain/next.gif", Gif('y'));
    r = Run(nginx.Url(""));
    ASSERT_EQ(r.exitCode, 0) << r.errors.toStdString();
    EXPECT_TRUE(r.lines.contains("Plain: New strip updated")) << r.lines.join("\n").toStdString();
    EXPECT_EQ(ReadAll(Strip("Plain", "Plain20261201.gif")), Gif('y'));
}

TEST_F(SourcesBatchTest, SitesThatAskToWaitOrAttack)
{
    ServeFeed("billion-laughs.xml", "bomb.xml");
    ServeFeed("external-entity.xml", "secret.xml");
    Serve("nothing.html",
          "<html><head><title>Nothing here</title></head><body><img src=a.gif></body></html>");
    Choose("Busy", nginx.Url("/busy/feed.xml"));
    Choose("Bomb", nginx.Url("/bomb.xml"));
    Choose("Secret", nginx.Url("/secret.xml"));
    Choose("Nothing", nginx.Url("/nothing.html"));
    // Shapes that cost the square of their size when read carelessly: a page whose
    // attributes hold a long run of "&", and a feed whose root has a crowd of attributes.
    Serve("amps/index.html", "<html><head><meta name=description content=\"" + QByteArray(2'000'000, '&') +
                                 "\"><meta property=og:image content=/amps/strip.gif></head></html>");
    Serve("amps/strip.gif", Gif('a'));
    QByteArray crowded = "<rss version='2.0'";
    for (int i = 0; i < 200'000; ++i)
        crowded += " a" + QByteArray::number(i) + "=''";
    Serve("crowded.xml", crowded + "><channel><title>Crowd</title></channel></rss>");
    Choose("Amps", nginx.Url("/amps/index.html"));
    Choose("Crowded", nginx.Url("/crowded.xml"));

    BatchTest::Result r = Run(nginx.Url(""));
    EXPECT_EQ(r.exitCode, 1) << r.errors.toStdString();
    QStringList lines = Sorted(r.lines.mid(0, 6));
    ASSERT_EQ(lines.size(), 6) << r.lines.join("\n").toStdString();
    EXPECT_EQ(lines[0], "Amps: New strip updated");
    EXPECT_EQ(lines[1],
              "Bomb: Failed: the feed is malformed (its document type declares entries of its own)");
    EXPECT_TRUE(lines[2].startsWith("Busy: Failed: the site asks to wait until ")) << lines[2].toStdString();
    EXPECT_EQ(lines[3], "Crowded: Failed: the feed is malformed (an element holds more than 256 attributes)");
    EXPECT_EQ(lines[4], "Nothing: No strip found in strip info.");
    EXPECT_EQ(lines[5],
              "Secret: Failed: the feed is malformed (its document type declares entries of its own)");
    EXPECT_EQ(FilesOf("Bomb"), QStringList{});

    // Until the time it named, the busy site is not asked again.
    const QByteArray before = nginx.AccessLog();
    r = Run(nginx.Url(""));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.lines.join("\n").contains("Busy: Failed: the site asks to wait until "))
        << r.lines.join("\n").toStdString();
    EXPECT_FALSE(nginx.AccessLog().mid(before.size()).contains("/busy/"));
}

TEST_F(SourcesBatchTest, APictureThatFailsIsAskedForAgainAndWhatWasStoredStays)
{
    ServeFeed("rss-escaped-img.xml", "escaped/rss.xml");
    Serve("escaped/strips/monday.png", Png('m')); // Tuesday's picture is missing
    Choose("Escaped", nginx.Url("/escaped/rss.xml"));

    BatchTest::Result r = Run(nginx.Url(""));
    ASSERT_EQ(r.exitCode, 0) << r.errors.toStdString();
    EXPECT_EQ(r.lines.value(0),
              "Escaped: New strip updated (1 stored; failed: the server answered 404 Not Found)");
    EXPECT_EQ(FilesOf("Escaped"), (QStringList{".source", ".words", "Escaped.unr", "Escaped20261207.png"}));
    EXPECT_EQ(Unread("Escaped"), "Escaped20261207.png\r\n");

    // No validators were kept, so the feed is read again and the missing picture asked for.
    r = Run(nginx.Url(""));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.lines.value(0), "Escaped: Failed: the server answered 404 Not Found")
        << r.lines.join("\n").toStdString();

    Serve("escaped/strips/tuesday.png", Png('t'));
    r = Run(nginx.Url(""));
    ASSERT_EQ(r.exitCode, 0) << r.errors.toStdString();
    EXPECT_EQ(ReadAll(Strip("Escaped", "Escaped20261208.png")), Png('t'));
    EXPECT_EQ(Unread("Escaped"), "Escaped20261207.png\r\nEscaped20261208.png\r\n");
    EXPECT_EQ(nginx.AccessLog().count("GET /escaped/strips/monday.png"), 1);
}

TEST_F(SourcesBatchTest, AWaitLongerThanAnySiteMayAskIsIgnored)
{
    ServeFeed("rss-escaped-img.xml", "escaped/rss.xml");
    Serve("escaped/strips/monday.png", Png('m'));
    Serve("escaped/strips/tuesday.png", Png('t'));
    Choose("Escaped", nginx.Url("/escaped/rss.xml"));
    Choose("Resting", nginx.Url("/escaped/rss.xml"));
    const auto remember = [&](const QString& comic, const QDateTime& until) {
        ASSERT_TRUE(QDir().mkpath(folder.filePath("Comics/" + comic)));
        QFile f(folder.filePath("Comics/" + comic + "/.source"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("WaitUntil=" + until.toString(Qt::ISODate).toUtf8() + "\n");
    };
    remember("Escaped", QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59), Qt::UTC)); // an edited file
    remember("Resting", QDateTime::currentDateTimeUtc().addDays(6));                 // a site's own wait

    const BatchTest::Result r = Run(nginx.Url(""));
    QStringList lines = Sorted(r.lines.mid(0, 2));
    ASSERT_EQ(lines.size(), 2) << r.errors.toStdString();
    EXPECT_EQ(lines[0], "Escaped: New strip updated");
    EXPECT_TRUE(lines[1].startsWith("Resting: Failed: the site asks to wait until "))
        << lines[1].toStdString();
    EXPECT_EQ(ReadAll(Strip("Escaped", "Escaped20261208.png")), Png('t'));
    EXPECT_FALSE(ReadAll(folder.filePath("Comics/Escaped/.source")).contains("9999"));
}

TEST_F(SourcesBatchTest, ItemsFromTheFutureAreTodaysStrips)
{
    const auto feed = [&](const QByteArray& items) {
        return "<?xml version=\"1.0\"?>\n<rss version=\"2.0\"><channel><title>Soon</title>" + items +
               "</channel></rss>\n";
    };
    const auto item = [&](const QByteArray& date, const QString& picture) {
        return "<item><title>x</title>" +
               (date.isEmpty() ? QByteArray() : "<pubDate>" + date + "</pubDate>") + "<enclosure url=\"" +
               nginx.Url(picture).toUtf8() + "\" type=\"image/png\"/></item>";
    };
    Serve("soon/feed.xml", feed(item("Fri, 31 Dec 9999 12:00:00 GMT", "/soon/far.png") +
                                item("Mon, 07 Dec 2026 09:00:00 GMT", "/soon/real.png")));
    Serve("soon/far.png", Png('f'));
    Serve("soon/real.png", Png('r'));
    // A strip stored under a future date before holds nothing back.
    Serve("stuck/feed.xml", feed(item({}, "/stuck/today.png")));
    Serve("stuck/today.png", Png('s'));
    Choose("Soon", nginx.Url("/soon/feed.xml"));
    Choose("Stuck", nginx.Url("/stuck/feed.xml"));
    ASSERT_TRUE(QDir().mkpath(folder.filePath("Comics/Stuck")));
    {
        QFile old(Strip("Stuck", "Stuck99991231.png"));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(Png('o'));
    }

    const QDate before = QDateTime::currentDateTimeUtc().date();
    const BatchTest::Result r = Run(nginx.Url(""));
    const QDate after = QDateTime::currentDateTimeUtc().date();
    ASSERT_EQ(r.exitCode, 0) << r.errors.toStdString() << r.lines.join("\n").toStdString();
    EXPECT_EQ(Sorted(r.lines.mid(0, 2)),
              (QStringList{"Soon: New strip updated", "Stuck: New strip updated"}));
    const auto today = [&](const QString& comic) {
        for (const QDate& day : {before, after})
            if (QFile::exists(Strip(comic, comic + day.toString("yyyyMMdd") + ".png")))
                return Strip(comic, comic + day.toString("yyyyMMdd") + ".png");
        return QString();
    };
    EXPECT_EQ(ReadAll(Strip("Soon", "Soon20261207.png")), Png('r'));
    EXPECT_EQ(ReadAll(today("Soon")), Png('f'));
    EXPECT_FALSE(QFile::exists(Strip("Soon", "Soon99991231.png")));
    EXPECT_EQ(ReadAll(today("Stuck")), Png('s'));
}
