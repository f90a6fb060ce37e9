// Fetching a comic's older strips through the real program ("--fetch-older") against
// nginx serving archives of every shape: a long feed, an Atom feed paged by rel="next",
// an RFC 5005 archive chain, WordPress's ?paged=N, and pages chained by rel="prev".
#include "BatchTest.h"
#include "MisbehavingServer.h"
#include "NginxServer.h"
#include "QStringPrinter.h"
#include "TestPaths.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <gtest/gtest.h>

using namespace pw;

using test::BatchTest;
using test::ReadAll;

namespace {

// Strip n of every archive here is dated 1 March 2025 + n days, noon UTC.
QDateTime DayOf(int n)
{
    return QDateTime(QDate(2025, 3, 1).addDays(n), QTime(12, 0), Qt::UTC);
}
QString Stamp(int n)
{
    return QLocale::c().toString(DayOf(n), "ddd, dd MMM yyyy hh:mm:ss") + " GMT";
}
QString FileOf(const QString& comic, int n, const QString& extension = "png")
{
    return comic + DayOf(n).toString("yyyyMMdd") + "." + extension;
}

struct OlderStripsBatchTest : BatchTest {
    test::NginxServer nginx{Site()};

    static test::NginxServer::Options Site()
    {
        test::NginxServer::Options o;
        // WordPress: the feed's older pages at ?paged=N, 404 past the last.
        o.ServerBlock = "location = /wp/feed/ { default_type application/rss+xml;"
                        "  try_files /wp/feed$arg_paged.xml =404; }\n"
                        // A page that tells nothing of its date (no Last-Modified either).
                        "location = /nodate/2.html { default_type text/html; return 200 "
                        "'<html><head><meta property=\"og:image\" content=\"/nodate/2.png\">"
                        "<link rel=\"prev\" href=\"1.html\"></head></html>'; }\n"
                        "location /busy/ { add_header Retry-After 3600 always; return 503; }\n"
                        // One request a second, and a 429 that says so to any more.
                        "location /limited/ { limit_req zone=limited; limit_req_status 429;"
                        "  add_header Retry-After 1 always; }\n";
        o.HttpBlock = "limit_req_zone $binary_remote_addr zone=limited:1m rate=1r/s;";
        return o;
    }

    void SetUp() override
    {
        ASSERT_TRUE(nginx.Start()) << nginx.Error().toStdString();
        ini.WriteInteger("Updates", "OlderStripsPause", 10);
        png = ReadAll(test::FixturePath("images/quadrants.png"));
        ASSERT_FALSE(png.isEmpty());
    }

    QString Url(const QString& path) const { return nginx.Url(path); }
    void Serve(const QString& path, const QByteArray& bytes, const QDateTime& mtime = DayOf(0))
    {
        ASSERT_TRUE(nginx.WriteFile(path, bytes, mtime)) << path.toStdString();
    }
    // RSS items for strips `from` down to `to`, newest first, each with its picture served.
    QByteArray Items(const QString& dir, int from, int to)
    {
        QByteArray xml;
        for (int n = from; n >= to; --n) {
            const QString picture = QString("/%1/strips/%2.png").arg(dir).arg(n);
            Serve(picture, png);
            xml += QString("<item><title>Strip %1</title><link>%2</link><pubDate>%3</pubDate>"
                           "<enclosure url=\"%4\" type=\"image/png\"/></item>\n")
                       .arg(n)
                       .arg(Url(QString("/%1/%2.html").arg(dir).arg(n)), Stamp(n), Url(picture))
                       .toUtf8();
        }
        return xml;
    }
    static QByteArray Rss(const QByteArray& channel, const QByteArray& items)
    {
        return "<?xml version=\"1.0\"?>\n<rss version=\"2.0\" xmlns:atom=\"http://www.w3.org/2005/Atom\" "
               "xmlns:fh=\"http://purl.org/syndication/history/1.0\"><channel><title>T</title>" +
               channel + "\n" + items + "</channel></rss>\n";
    }
    Result Older(const QString& comic, int max = 0)
    {
        QStringList args{"--fetch-older", comic};
        if (max > 0)
            args << "--max" << QString::number(max);
        return RunProgram(args, Url(""));
    }
    QStringList Strips(const QString& comic) const
    {
        QStringList strips;
        for (const QString& f : FilesOf(comic))
            if (!f.startsWith('.') && !f.endsWith(".unr") && f != comic + ".words" && !f.endsWith(".words"))
                strips << f;
        return strips;
    }
    QStringList Range(const QString& comic, int from, int to) const
    {
        QStringList names;
        for (int n = from; n <= to; ++n)
            names << FileOf(comic, n);
        return names;
    }

    QByteArray png;
};

#define EXPECT_RESULT(result, code, line)                                                                    \
    do {                                                                                                     \
        const auto& r_ = (result);                                                                           \
        EXPECT_EQ(r_.exitCode, code) << r_.errors.toStdString();                                             \
        EXPECT_EQ(r_.lines, QStringList{line}) << r_.errors.toStdString();                                   \
    } while (false)

} // namespace

TEST_F(OlderStripsBatchTest, ALongFeedGivesItsOlderItemsAsReadStripsInRunsThatGoOnWhereTheLastStopped)
{
    Serve("sixty/feed.xml", Rss("", Items("sixty", 59, 0)));
    Choose("Sixty", Url("/sixty/feed.xml"));
    const Result update = Run(Url(""));
    ASSERT_EQ(update.exitCode, 0) << update.errors.toStdString();
    ASSERT_EQ(Strips("Sixty").size(), 10);
    const QByteArray unread = ReadAll(folder.filePath("Comics/Sixty/Sixty.unr"));

    // The cap, twice: the newest older strips first, the second run where the first ended.
    EXPECT_RESULT(Older("Sixty", 5), 0, "Sixty: 5 older strips stored; more are left for the next run");
    EXPECT_EQ(Strips("Sixty"), Range("Sixty", 45, 59));
    EXPECT_RESULT(Older("Sixty", 5), 0, "Sixty: 5 older strips stored; more are left for the next run");
    EXPECT_EQ(Strips("Sixty"), Range("Sixty", 40, 59));
    // The default cap takes the rest: one update and Fetch Older give every strip.
    EXPECT_RESULT(Older("Sixty"), 0, "Sixty: 40 older strips stored; no older strip is left");
    EXPECT_EQ(Strips("Sixty"), Range("Sixty", 0, 59));
    EXPECT_RESULT(Older("Sixty"), 0, "Sixty: No older strip found");
    // The archive is no news: nothing was marked unread, and the words came along.
    EXPECT_EQ(ReadAll(folder.filePath("Comics/Sixty/Sixty.unr")), unread);
    EXPECT_TRUE(ReadAll(folder.filePath("Comics/Sixty/.words")).contains("Strip 3"));
    EXPECT_FALSE(Strips("Sixty").join(' ').contains(".part"));
}

TEST_F(OlderStripsBatchTest, EveryArchiveShapeIsWalkedToItsStart)
{
    // Atom paged by rel="next": three pages of five entries.
    for (int page = 1; page <= 3; ++page) {
        QByteArray entries;
        for (int n = 15 - 5 * (page - 1) - 1; n >= 15 - 5 * page; --n) {
            Serve(QString("paged/strips/%1.png").arg(n), png);
            entries +=
                QString("<entry><title>P%1</title><link href=\"/paged/%1.html\"/><updated>%2</updated>"
                        "<link rel=\"enclosure\" type=\"image/png\" href=\"strips/%1.png\"/></entry>\n")
                    .arg(n)
                    .arg(DayOf(n).toString(Qt::ISODate))
                    .toUtf8();
        }
        const QByteArray next =
            page < 3 ? QString("<link rel=\"next\" href=\"%1.xml\"/>").arg(page + 1).toUtf8() : QByteArray();
        Serve(QString("paged/%1.xml").arg(page),
              "<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>Paged</title>" + next + entries +
                  "</feed>");
    }
    // RFC 5005: the current feed and three archive documents, linked by prev-archive.
    Serve("archive/current.xml",
          Rss("<atom:link rel=\"prev-archive\" href=\"" + Url("/archive/2.xml").toUtf8() + "\"/>",
              Items("archive", 11, 9)));
    // Day 4 has two more strips, published that morning: all three are stored, in order.
    QByteArray morning;
    for (const auto& [hour, file] : {std::pair{8, "early.gif"}, std::pair{10, "late.jpg"}}) {
        Serve(QString("archive/strips/%1").arg(file),
              ReadAll(test::FixturePath(hour == 8 ? "images/quadrants.gif" : "images/color.jpg")));
        morning += QString("<item><title>Morning</title><pubDate>%1</pubDate><enclosure url=\"%2\"/></item>")
                       .arg(Stamp(4).replace("12:00", QString("%1:00").arg(hour, 2, 10, QChar('0'))),
                            Url(QString("/archive/strips/%1").arg(file)))
                       .toUtf8();
    }
    for (int doc = 2; doc >= 0; --doc) {
        const QByteArray prev = doc > 0 ? "<atom:link rel=\"prev-archive\" href=\"" +
                                              QString::number(doc - 1).toUtf8() + ".xml\"/>"
                                        : QByteArray();
        Serve(QString("archive/%1.xml").arg(doc),
              Rss("<fh:archive/>" + prev,
                  Items("archive", 3 * doc + 2, 3 * doc) + (doc == 1 ? morning : QByteArray())));
    }
    // WordPress: page 1 is the feed, pages 2 and 3 older ones, 404 after.
    Serve("wp/feed.xml", Rss("", Items("wp", 8, 6)));
    Serve("wp/feed2.xml", Rss("", Items("wp", 5, 3)));
    Serve("wp/feed3.xml", Rss("", Items("wp", 2, 0)));
    // 30 pages chained by rel="prev", dated three ways; the newest is the comic's address.
    for (int n = 0; n < 30; ++n) {
        const QString date =
            n >= 20 ? QString("<meta property=\"article:published_time\" content=\"%1\">")
                          .arg(DayOf(n).toString(Qt::ISODate))
            : n >= 10 ? QString("<time datetime=\"%1\">then</time>").arg(DayOf(n).toString(Qt::ISODate))
                      : QString(); // the answer's Last-Modified
        const QString prev = n == 0 ? QString()
                             : n % 2 == 0
                                 ? QString("<link rel=\"prev\" href=\"%1.html\">").arg(n - 1)
                                 : QString("<a href=\"%1.html\" rel=\"prev nofollow\">Back</a>").arg(n - 1);
        const QString page = QString("<html><head><title>Page %1</title><meta property=\"og:image\" "
                                     "content=\"/pages/strips/%1.png\">%2</head><body>%3 %4</body></html>")
                                 .arg(n)
                                 .arg(n >= 20 ? date : QString(), prev, n < 20 ? date : QString());
        Serve(QString("pages/%1.html").arg(n), page.toUtf8(), DayOf(n));
        if (n == 29)
            Serve("pages/index.html", page.toUtf8(), DayOf(n));
        Serve(QString("pages/strips/%1.png").arg(n), png);
    }
    Choose("Paged", Url("/paged/1.xml"));
    Choose("Archived", Url("/archive/current.xml"));
    Choose("Press", Url("/wp/feed/"));
    Choose("Pages", Url("/pages/index.html"));
    const Result update = Run(Url(""));
    ASSERT_EQ(update.exitCode, 0) << update.errors.toStdString() << update.lines.join('\n').toStdString();

    EXPECT_RESULT(Older("Paged"), 0, "Paged: 10 older strips stored; no older strip is left");
    EXPECT_EQ(Strips("Paged"), Range("Paged", 0, 14));
    EXPECT_RESULT(Older("Archived"), 0, "Archived: 11 older strips stored; no older strip is left");
    QStringList archived = Range("Archived", 0, 11);
    archived.replace(4, FileOf("Archived", 4, "gif"));
    archived.insert(5, "Archived20250305-2.jpg");
    archived.insert(6, "Archived20250305-3.png");
    archived.sort(); // as the folder lists them
    EXPECT_EQ(Strips("Archived"), archived);
    EXPECT_RESULT(Older("Press"), 0, "Press: 6 older strips stored; no older strip is left");
    EXPECT_EQ(Strips("Press"), Range("Press", 0, 8));
    // A page chain resumes too: the cap stops it partway, the next run goes on.
    EXPECT_RESULT(Older("Pages", 12), 0, "Pages: 12 older strips stored; more are left for the next run");
    EXPECT_EQ(Strips("Pages"), Range("Pages", 17, 29));
    EXPECT_RESULT(Older("Pages"), 0, "Pages: 17 older strips stored; no older strip is left");
    EXPECT_EQ(Strips("Pages"), Range("Pages", 0, 29));
    EXPECT_RESULT(Older("Pages"), 0, "Pages: No older strip found");
    // Past the end, the resumed run read only the comic's own page.
    EXPECT_EQ(QString(nginx.AccessLog()).count("GET /pages/index.html"), 4);
    EXPECT_EQ(QString(nginx.AccessLog()).count("GET /pages/0.html"), 1);
}

TEST_F(OlderStripsBatchTest, AWalkThatCannotGoOnSaysWhyAndKeepsWhatItStored)
{
    // A page without any date ends the walk.
    Serve("nodate/index.html",
          "<html><head><meta property=\"og:image\" content=\"/nodate/4.png\">"
          "<link rel=\"prev\" href=\"3.html\"></head></html>",
          DayOf(4));
    Serve("nodate/3.html", "<html><head><meta property=\"og:image\" content=\"/nodate/3.png\">"
                           "<meta property=\"article:published_time\" content=\"" +
                               DayOf(3).toString(Qt::ISODate).toUtf8() +
                               "\"><link rel=\"prev\" href=\"2.html\"></head></html>");
    Serve("nodate/3.png", png);
    Serve("nodate/4.png", png);
    // A site that asks to wait an hour stops the walk, and the next run asks nothing.
    Serve("waits/feed.xml",
          Rss("<atom:link rel=\"prev-archive\" href=\"/busy/old.xml\"/>", Items("waits", 5, 3)));
    ASSERT_TRUE(QDir().mkpath(folder.filePath("Comics/Waits")));
    ASSERT_TRUE(QFile::copy(test::FixturePath("images/quadrants.png"), Strip("Waits", FileOf("Waits", 5))));
    Choose("Nodate", Url("/nodate/index.html"));
    Choose("Waits", Url("/waits/feed.xml"));
    ASSERT_EQ(Run(Url("")).exitCode, 0);
    ASSERT_EQ(Strips("Waits"), QStringList{FileOf("Waits", 5)});

    EXPECT_RESULT(Older("Nodate"), 0,
                  "Nodate: 1 older strip stored; stopped: the page " + Url("/nodate/2.html") +
                      " gives no date");
    EXPECT_EQ(Strips("Nodate"), (QStringList{FileOf("Nodate", 3), FileOf("Nodate", 4)}));
    const Result again = Older("Nodate");
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_EQ(again.lines,
              QStringList{"Nodate: Failed: the page " + Url("/nodate/2.html") + " gives no date"});

    const Result waits = Older("Waits");
    EXPECT_EQ(waits.exitCode, 1);
    ASSERT_EQ(waits.lines.size(), 1);
    EXPECT_TRUE(waits.lines[0].startsWith("Waits: Failed: the site asks to wait until "))
        << waits.lines[0].toStdString();
    EXPECT_TRUE(waits.lines[0].endsWith(" (2 older strips stored)")) << waits.lines[0].toStdString();
    EXPECT_EQ(Strips("Waits"), Range("Waits", 3, 5));
    const int asked = QString(nginx.AccessLog()).count("GET /");
    EXPECT_EQ(Older("Waits").exitCode, 1);
    EXPECT_EQ(QString(nginx.AccessLog()).count("GET /"), asked);

    // A site that asks to wait a second is waited for, as often as it asks.
    Serve("limited/feed.xml", Rss("<fh:complete/>", Items("limited", 5, 3)));
    Choose("Limited", Url("/limited/feed.xml"));
    ASSERT_TRUE(QDir().mkpath(folder.filePath("Comics/Limited")));
    ASSERT_TRUE(
        QFile::copy(test::FixturePath("images/quadrants.png"), Strip("Limited", FileOf("Limited", 5))));
    EXPECT_RESULT(Older("Limited"), 0, "Limited: 2 older strips stored; no older strip is left");
    EXPECT_EQ(Strips("Limited"), Range("Limited", 3, 5));
    EXPECT_GE(QString(nginx.AccessLog()).count("\" 429 "), 2);

    // A comic the catalogue does not hold, and a cap that is no number of strips: no request.
    const int before = QString(nginx.AccessLog()).count("GET /");
    const Result unknown = Older("Nobody");
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_TRUE(unknown.errors.contains("No comic is named \"Nobody\" in the catalogue."))
        << unknown.errors.toStdString();
    for (const QStringList& bad :
         {QStringList{"--fetch-older", "Waits", "--max", "0"}, QStringList{"--fetch-older", "Waits", "--max"},
          QStringList{"--max", "3"}, QStringList{"--fetch-older"}}) {
        const Result r = RunProgram(bad, Url(""));
        EXPECT_EQ(r.exitCode, 2) << bad.join(' ').toStdString();
        EXPECT_TRUE(r.errors.contains("Usage:")) << r.errors.toStdString();
    }
    EXPECT_EQ(QString(nginx.AccessLog()).count("GET /"), before);
}

// An update that ends while Fetch Older Strips ran on the same comic (in the window, or
// beside it) keeps what the walk wrote: where it goes on from next time.
TEST_F(BatchTest, AnUpdateKeepsWhereFetchOlderStripsGoesOnFrom)
{
    const QByteArray picture = ReadAll(test::FixturePath("images/quadrants.png"));
    const QByteArray feed = "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>W</title>"
                            "<item><guid>w-1</guid><pubDate>" +
                            Stamp(40).toLatin1() +
                            "</pubDate><enclosure url=\"/w/1.png\" type=\"image/png\"/></item>"
                            "</channel></rss>";
    const QString source = folder.filePath("Comics/Walked/.source");
    test::MisbehavingServer server;
    server.SetScripts({test::MisbehavingServer::Respond(
                           "HTTP/1.0 200 OK\r\nContent-Type: application/rss+xml\r\n\r\n" + feed),
                       test::MisbehavingServer::Script()
                           .ReadRequest()
                           // The walk stores its place while the update waits for the strip.
                           .Call([&] {
                               QFile f(source);
                               if (f.open(QIODevice::WriteOnly))
                                   f.write("OlderFrom=http://walked.test/archive/7.xml\n");
                           })
                           .Send("HTTP/1.0 200 OK\r\nContent-Type: image/png\r\n\r\n" + picture)
                           .Close()});
    ASSERT_TRUE(server.Start());
    Choose("Walked", server.Url("/w/feed.xml"));

    const BatchTest::Result r = Run(server.Url(""));
    ASSERT_EQ(r.exitCode, 0) << r.errors.toStdString();
    EXPECT_EQ(r.lines.value(0), "Walked: New strip updated") << r.lines.join("\n").toStdString();
    EXPECT_EQ(server.Connections(), 2);
    const QByteArray kept = ReadAll(source);
    EXPECT_TRUE(kept.contains("OlderFrom=http://walked.test/archive/7.xml\n")) << kept.toStdString();
    EXPECT_EQ(kept.count("Stored="), 2) << kept.toStdString(); // the update's item, by picture and by guid
}
