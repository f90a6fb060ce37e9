// The right picture from the shapes real feeds and pages publish: "--add-comic" and
// "--batch-update" of the real program against nginx on https, serving the documents of
// tests/fixtures/sites at the names they use (comics.test and other.test through
// nss_wrapper, the test CA through SSL_CERT_FILE).
#include "BatchTest.h"
#include "NginxServer.h"
#include "QStringPrinter.h"
#include "TestCertificates.h"
#include "TestHosts.h"
#include "TestPaths.h"

#include <QDir>
#include <QDirIterator>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <memory>

using namespace pw;

using test::BatchTest;
using test::ReadAll;

namespace {

const bool kTestHosts = test::UseTestHosts();

const QDateTime kOld(QDate(2026, 12, 1), QTime(8, 0), Qt::UTC);

struct PicturesBatchTest : BatchTest {
    test::TestCertificates certs;
    std::unique_ptr<test::NginxServer> nginx;

    void SetUp() override
    {
        ASSERT_TRUE(certs.Make()) << certs.Error().toStdString();
        test::NginxServer::Options o;
        o.Certificate = certs.Good().Certificate;
        o.CertificateKey = certs.Good().Key;
        // A feed whose character set only the answer's header names.
        o.ServerBlock = "location /latin-feed/ { types { application/rss+xml xml; } charset iso-8859-1; "
                        "charset_types application/rss+xml; }";
        nginx = std::make_unique<test::NginxServer>(o);
        ASSERT_TRUE(nginx->Start()) << nginx->Error().toStdString();
        const QString root = test::FixturePath("sites");
        QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            Serve(QDir(root).relativeFilePath(path), ReadAll(path));
        }
    }

    QString Site(const QString& path = QString()) const { return nginx->SecureUrl("comics.test", path); }
    void Serve(const QString& path, QByteArray bytes, const QDateTime& mtime = kOld)
    {
        bytes.replace("@SITE@", Site().toUtf8())
            .replace("@OTHER@", nginx->SecureUrl("other.test", "").toUtf8());
        ASSERT_TRUE(nginx->WriteFile(path, bytes, mtime)) << path.toStdString();
    }
    QByteArray Image(const QString& name) const { return ReadAll(test::FixturePath("images/" + name)); }
    void ServeImage(const QString& path, const QString& image) { Serve(path, Image(image)); }
    QStringList Env() const { return {"SSL_CERT_FILE=" + certs.CaFile(), "SSL_CERT_DIR=/nonexistent"}; }
    // The comic site of the catalogue is elsewhere: these are the user's own comics.
    Result Update() { return Run(nginx->Url(""), Env()); }
    Result Add(const QString& address) { return RunProgram({"--add-comic", address}, nginx->Url(""), Env()); }
    QStringList Sorted(QStringList lines) const
    {
        lines.sort();
        return lines;
    }
};

} // namespace

TEST_F(PicturesBatchTest, EveryShapeGivesItsStripAndNothingElse)
{
    ServeImage("img/hero.jpg", "color.jpg"); // the site's card
    ServeImage("img/hero-logo.png", "transparent.png");
    ServeImage("img/patreon-banner.jpg", "gray.jpg");
    ServeImage("comics/1205.png", "quadrants.png");
    ServeImage("comics/1204.png", "cmyk.jpg");
    ServeImage("banners/leader.gif", "animated.gif"); // on other.test, like the counters
    ServeImage("~r/InkedDaily/~4/x1", "pixel.gif");
    ServeImage("inked/comics/2026-12-05.gif", "quadrants.gif");
    ServeImage("inked/comics/2026-12-03.gif", "wide.gif");
    ServeImage("mediaforms/strips/1.jpg", "color.jpg");
    ServeImage("mediaforms/strips/1-small.jpg", "gray.jpg");
    ServeImage("mediaforms/render", "transparent.png"); // "render?id=2": no extension
    ServeImage("mediaforms/thumbs/3.gif", "animated.gif");
    ServeImage("mediaforms/strips/4.png", "quadrants.png");
    ServeImage("mediaforms/p/spacer.gif", "pixel.gif");
    ServeImage("mediaforms/strips/5.gif", "offset-local-map.gif");
    ServeImage("enclosed/files/44.png", "transparent.png");
    ServeImage("cards/static/social-card.png", "transparent.png");
    ServeImage("cards/static/logo.png", "transparent.png");
    ServeImage("cards/uploads/2026/12/trick-88.png", "quadrants.png");
    ServeImage("cards/uploads/2026/12/author.jpg", "gray.jpg");
    ServeImage("spa/media/owl-212.png", "quadrants.png");
    ServeImage("webp/strips/9.webp", "quadrants.webp");
    ServeImage("failing/strips/2.gif", "interlaced.gif");
    ServeImage("failing/strips/3.gif", "quadrants.gif");
    ServeImage("latin/strip-1201.gif", "wide.gif");
    ServeImage("latin-feed/1.gif", "transparent.gif");

    // Pages and feeds added by their address: a client-built page, pages and feeds in
    // Latin-1, a home page that links its feed.
    Result r = Add(Site("/spa/"));
    EXPECT_EQ(r.lines, QStringList{"Added Night Owl Strips: page with a picture, newest strip 2026-12-01"})
        << r.errors.toStdString();
    r = Add(Site("/latin/"));
    EXPECT_EQ(r.lines,
              QStringList{QString::fromUtf8(
                  "Added Caf\u00e9 Cr\u00e8me \u2013 Strips: page with a picture, newest strip 2026-12-01")})
        << r.errors.toStdString();
    r = Add(Site("/latin-feed/feed.xml"));
    EXPECT_EQ(r.lines,
              QStringList{QString::fromUtf8("Added Caf\u00e9 Noir: RSS 2.0 feed, newest strip 2026-12-02")})
        << r.errors.toStdString();
    r = Add(Site("/"));
    EXPECT_EQ(r.lines, QStringList{"Added Hero Comics: RSS 2.0 feed, newest strip 2026-12-05"})
        << r.errors.toStdString();
    EXPECT_TRUE(
        ReadAll(folder.filePath("MyComics.urls")).contains("Hero Comics\t" + Site("/feed.xml").toUtf8()));

    // An entry that already holds the home page's address.
    Choose("Hero Page", Site("/"));
    Choose("Inked", Site("/inked/feed.xml"));
    Choose("Media Forms", Site("/mediaforms/feed.xml"));
    Choose("Enclosed", Site("/enclosed/index.rdf"));
    Choose("Cards", Site("/cards/feed.xml"));
    Choose("Failing", Site("/failing/feed.xml"));
    Choose("No Picture", Site("/nopicture/"));
    Choose("Bare", Site("/bare/feed.xml"));
    Choose("Webp", Site("/webp/feed.xml"));

    r = Update();
    EXPECT_EQ(r.exitCode, 1) << r.errors.toStdString();
    EXPECT_EQ(r.lines.size(), 14) << r.lines.join("\n").toStdString() << r.errors.toStdString();
    EXPECT_EQ(
        Sorted(r.lines.mid(0, 13)),
        (QStringList{"Bare: Failed: the feed's items carry no picture",
                     QString::fromUtf8("Caf\u00e9 Cr\u00e8me \u2013 Strips: New strip updated"),
                     QString::fromUtf8("Caf\u00e9 Noir: New strip updated"), "Cards: New strip updated",
                     "Enclosed: New strip updated",
                     "Failing: New strip updated (2 stored; failed: the server answered 404 Not Found)",
                     "Hero Comics: New strip updated", "Hero Page: New strip updated",
                     "Inked: New strip updated", "Media Forms: New strip updated",
                     "Night Owl Strips: New strip updated", "No Picture: Failed: the page names no picture",
                     "Webp: Failed: the strip is a WebP picture, which Panelwick cannot show"}));
    EXPECT_EQ(r.lines.value(13), "10 updated, 0 didn't need a update, 3 failed.");

    struct Stored {
        const char* Comic;
        const char* File;
        const char* Image;
    };
    const Stored stored[] = {
        {"Hero Comics", "Hero Comics20261205.png", "quadrants.png"}, // not the card every page has
        {"Hero Page", "Hero Page20261205.png", "quadrants.png"},
        {"Hero Comics", "Hero Comics20261204.jpg", "cmyk.jpg"}, // the home page asked once for both
        {"Hero Page", "Hero Page20261204.jpg", "cmyk.jpg"},
        {"Inked", "Inked20261206.gif", "quadrants.gif"},         // 18:00 PT is 02:00 UTC the next day
        {"Inked", "Inked20261203.gif", "wide.gif"},              // from the item's page, past the counter
        {"Media Forms", "Media Forms20261201.jpg", "color.jpg"}, // the group's default
        {"Media Forms", "Media Forms20261202.png", "transparent.png"},
        {"Media Forms", "Media Forms20261203.gif", "animated.gif"}, // a thumbnail, for want of more
        {"Media Forms", "Media Forms20261204.png", "quadrants.png"},
        {"Media Forms", "Media Forms20261205.gif", "offset-local-map.gif"}, // past a one-pixel spacer
        {"Enclosed", "Enclosed20261204.png", "transparent.png"},
        {"Cards", "Cards20261204.png", "quadrants.png"},
        {"Failing", "Failing20261204.gif", "interlaced.gif"},
        {"Failing", "Failing20261205.gif", "quadrants.gif"},
        {"Night Owl Strips", "Night Owl Strips20261201.png", "quadrants.png"},
        {"Caf\u00e9 Noir", "Caf\u00e9 Noir20261202.gif", "transparent.gif"},
    };
    for (const Stored& s : stored) {
        SCOPED_TRACE(s.File);
        EXPECT_EQ(ReadAll(Strip(QString::fromUtf8(s.Comic), QString::fromUtf8(s.File))), Image(s.Image));
    }
    for (const char* comic : {"No Picture", "Bare", "Webp"})
        EXPECT_TRUE(FilesOf(comic).filter(QRegularExpression("\\.(gif|jpg|png|part)$")).isEmpty()) << comic;
    const QByteArray log = nginx->AccessLog();
    for (const char* never : {"/banners/", "/~r/", "/~ff/", "/img/hero.jpg", "1-small.jpg", "4.mp4",
                              "social-card.png", "logo.png", "author.jpg", "patreon"})
        EXPECT_FALSE(log.contains(never)) << never;

    // The home page did not change, its feed did: the entry holding the page's address
    // asks the feed all the same. The failed item is asked for again.
    QByteArray feed = ReadAll(test::FixturePath("sites/feed.xml"));
    feed.insert(feed.indexOf("<item>"), "<item><title>Page 1206</title><link>@SITE@/comic/1206/</link>"
                                        "<pubDate>Sun, 06 Dec 2026 12:00:00 +0000</pubDate></item>");
    Serve("feed.xml", feed, kOld.addDays(5));
    Serve("comic/1206/index.html",
          ReadAll(test::FixturePath("sites/comic/1205/index.html")).replace("1205", "1206"));
    ServeImage("comics/1206.png", "interlaced.gif");
    const qsizetype before = log.size();
    r = Update();
    EXPECT_EQ(Sorted(r.lines).filter("Hero"),
              (QStringList{"Hero Comics: New strip updated", "Hero Page: New strip updated"}))
        << r.lines.join("\n").toStdString();
    EXPECT_TRUE(r.lines.contains("Failing: Failed: the server answered 404 Not Found"))
        << r.lines.join("\n").toStdString();
    EXPECT_EQ(ReadAll(Strip("Hero Page", "Hero Page20261206.gif")), Image("interlaced.gif"));
    EXPECT_TRUE(nginx->AccessLog().mid(before).contains("\"GET / HTTP/1.0\" 304"));
}

TEST_F(PicturesBatchTest, AFailedItemIsAskedForThreeTimesMoreThenPassedOver)
{
    ServeImage("failing/strips/2.gif", "interlaced.gif");
    ServeImage("failing/strips/3.gif", "quadrants.gif");
    Choose("Failing", Site("/failing/feed.xml"));
    Result r = Update();
    EXPECT_EQ(r.lines.value(0),
              "Failing: New strip updated (2 stored; failed: the server answered 404 Not Found)");
    for (int left = 2; left >= 0; --left) {
        r = Update();
        EXPECT_EQ(r.lines.value(0), "Failing: Failed: the server answered 404 Not Found");
        EXPECT_TRUE(ReadAll(Strip("Failing", ".source"))
                        .contains(QStringLiteral("Retry=2026-12-03 %1 ").arg(left).toUtf8()))
            << ReadAll(Strip("Failing", ".source")).toStdString();
    }
    r = Update();
    EXPECT_EQ(r.lines.value(0), "Failing: No updated strip found");
    EXPECT_EQ(nginx->AccessLog().count("GET /failing/1.html"), 4);
    EXPECT_EQ(nginx->AccessLog().count("GET /failing/strips/2.gif"), 1);
}
