// "--add-comic" through the real program against nginx, and the comics it adds updated
// by the real batch mode.
#include "BatchTest.h"
#include "MisbehavingServer.h"
#include "NginxServer.h"
#include "QStringPrinter.h"
#include "TestPaths.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace pw;

using test::BatchTest;
using test::ReadAll;

namespace {

struct AddComicTest : BatchTest {
    test::NginxServer nginx;

    void SetUp() override
    {
        ASSERT_TRUE(nginx.Start()) << nginx.Error().toStdString();
        catalogue = "Shipped\thttp://127.0.0.1:9/shipped.html\r\n";
    }
    void ServeFeed(const QString& fixture, const QString& path)
    {
        const QByteArray feed = ReadAll(test::FixturePath("feeds/" + fixture));
        ASSERT_FALSE(feed.isEmpty()) << fixture.toStdString();
        ASSERT_TRUE(nginx.WriteFile(path, QByteArray(feed).replace("@SITE@", nginx.Url("").toLatin1())));
    }
    Result Add(const QStringList& arguments)
    {
        return RunProgram(QStringList{"--add-comic"} + arguments, nginx.Url(""));
    }
    QByteArray MyComics() const { return ReadAll(folder.filePath("MyComics.urls")); }
};

} // namespace

TEST_F(AddComicTest, FeedsPagesAndPicturesAreAddedChosenAndUpdated)
{
    ServeFeed("rss-escaped-img.xml", "escaped/rss.xml");
    ASSERT_TRUE(nginx.WriteFile("escaped/strips/tuesday.png", "\x89PNG\r\n\x1A\nt"));
    ASSERT_TRUE(nginx.WriteFile("escaped/strips/monday.png", "\x89PNG\r\n\x1A\nm"));
    ServeFeed("rss1.rdf", "home/feed.rdf");
    ASSERT_TRUE(nginx.WriteFile("home/index.html", "<head><title>Home Page</title><link rel=alternate "
                                                   "type=application/rss+xml href=feed.rdf></head>"));
    ASSERT_TRUE(nginx.WriteFile(
        "plain/index.html", "<head><title>Plain &amp; Simple</title><meta property=og:image content=s.gif>",
        QDateTime(QDate(2026, 11, 30), QTime(8, 0), Qt::UTC)));

    Result r = Add({nginx.Url("/escaped/rss.xml")});
    ASSERT_EQ(r.exitCode, 0) << r.errors.toStdString();
    EXPECT_EQ(r.lines, QStringList{"Added Escaped Ink: RSS 2.0 feed, newest strip 2026-12-08"});
    r = Add({nginx.Url("/home/index.html"), "--name", "My Home"});
    ASSERT_EQ(r.exitCode, 0) << r.errors.toStdString();
    EXPECT_EQ(r.lines, QStringList{"Added My Home: RSS 1.0 feed, newest strip 2026-12-01"});
    r = Add({nginx.Url("/plain/index.html")});
    ASSERT_EQ(r.exitCode, 0) << r.errors.toStdString();
    EXPECT_EQ(r.lines, QStringList{"Added Plain & Simple: page with a picture, newest strip 2026-11-30"});

    // A comic found through its page follows the feed the page links.
    EXPECT_EQ(MyComics(),
              ("Escaped Ink\t" + nginx.Url("/escaped/rss.xml") + "\r\nMy Home\t" +
               nginx.Url("/home/feed.rdf") + "\r\nPlain & Simple\t" + nginx.Url("/plain/index.html") + "\r\n")
                  .toUtf8());
    EXPECT_TRUE(ini.ReadBool("Comics", "Escaped Ink", false));
    EXPECT_TRUE(ini.ReadBool("Comics", "My Home", false));
    EXPECT_FALSE(ini.ReadBool("Comics", "Shipped", false));
    EXPECT_TRUE(nginx.AccessLog().contains("\"Panelwick/"));

    // The shipped catalogue is never written; the batch update reads both.
    EXPECT_EQ(ReadAll(folder.filePath("Comics.urls")), catalogue);
    ini.WriteBool("Comics", "My Home", false);
    ini.WriteBool("Comics", "Plain & Simple", false);
    r = Run(nginx.Url(""));
    ASSERT_EQ(r.exitCode, 0) << r.errors.toStdString() << r.lines.join("\n").toStdString();
    EXPECT_EQ(r.lines, (QStringList{"Escaped Ink: New strip updated",
                                    "1 updated, 0 didn't need a update, 0 failed."}));
    EXPECT_EQ(ReadAll(Strip("Escaped Ink", "Escaped Ink20261208.png")), "\x89PNG\r\n\x1A\nt");

    // The site's page leads to the feed followed already.
    ASSERT_TRUE(nginx.WriteFile("escaped/index.html", "<head><title>Escaped</title><link rel=alternate "
                                                      "type=application/rss+xml href=rss.xml></head>"));
    r = Add({nginx.Url("/escaped/index.html")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.errors.contains("Already followed as Escaped Ink")) << r.errors.toStdString();
}

TEST_F(AddComicTest, RefusedWithAReasonAndNothingWritten)
{
    ServeFeed("rss-escaped-img.xml", "escaped/rss.xml");
    ServeFeed("billion-laughs.xml", "bomb.xml");
    ServeFeed("dotdot-title.xml", "dotdot.xml");
    ASSERT_TRUE(
        nginx.WriteFile("plain.html", "<html><head><title>Nothing</title></head><body><img src=x.gif>"));

    struct Case {
        QStringList Arguments;
        QString Error;
    };
    const Case cases[] = {
        {{nginx.Url("/plain.html")},
         "No comic found at " + nginx.Url("/plain.html") + ": it is no RSS or Atom feed"},
        {{nginx.Url("/bomb.xml")}, "the feed is malformed (its document type declares entries of its own)"},
        {{nginx.Url("/missing.xml")}, "could not be read: 404"},
        {{nginx.Url("/escaped/rss.xml"), "--name", "Shipped"},
         "A comic named \"Shipped\" is already in the catalogue."},
        {{nginx.Url("/escaped/rss.xml"), "--name", "../x"}, "The name \"../x\" cannot be used"},
        {{nginx.Url("/escaped/rss.xml"), "--name", ".hidden"}, "cannot be used: the name begins with a dot"},
        {{nginx.Url("/escaped/rss.xml"), "--name", "a=b"}, "cannot be used"},
        {{"ftp://example.test/feed"}, "is no http:// or https:// address"},
        {{"http://a.test/x\r\nEvil\thttp://b.test/"}, "is no http:// or https:// address"}, // no second line
        {{"http://a.test/with blank"}, "is no http:// or https:// address"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Arguments.join(' ').toStdString());
        const Result r = Add(c.Arguments);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(r.errors.contains(c.Error)) << r.errors.toStdString();
        EXPECT_TRUE(r.lines.isEmpty());
        EXPECT_FALSE(QFile::exists(folder.filePath("MyComics.urls")));
    }

    // A title made to climb out of the comics folder names a comic inside it.
    Result r = Add({nginx.Url("/dotdot.xml")});
    ASSERT_EQ(r.exitCode, 0) << r.errors.toStdString();
    EXPECT_EQ(r.lines, QStringList{"Added etc: RSS 2.0 feed, newest strip 2026-12-07"});
    // Added once; a second time the address is followed already.
    r = Add({nginx.Url("/dotdot.xml")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.errors.contains("Already followed as etc")) << r.errors.toStdString();
    EXPECT_EQ(MyComics(), ("etc\t" + nginx.Url("/dotdot.xml") + "\r\n").toUtf8());
}

TEST_F(AddComicTest, NamesThatDifferOnlyInCaseAreOneName)
{
    // The configuration file's keys ignore letter case: a comic "ESCAPED INK" switched off
    // must stay off when a feed titled "Escaped Ink" is added, and keep its key to itself.
    catalogue = "ESCAPED INK\thttp://127.0.0.1:9/e.html\r\n";
    ini.WriteBool("Comics", "ESCAPED INK", false);
    ServeFeed("rss-escaped-img.xml", "escaped/rss.xml");
    for (const char* day : {"monday", "tuesday"}) // which is newest by the update's clock
        ASSERT_TRUE(nginx.WriteFile(QStringLiteral("escaped/strips/%1.png").arg(day), "\x89PNG\r\n\x1A\nt"));

    Result r = Add({nginx.Url("/escaped/rss.xml"), "--name", "escaped ink"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.errors.contains("A comic named \"ESCAPED INK\" is already in the catalogue"))
        << r.errors.toStdString();
    EXPECT_FALSE(QFile::exists(folder.filePath("MyComics.urls")));

    // The proposed name, the feed's title, becomes free.
    r = Add({nginx.Url("/escaped/rss.xml")});
    ASSERT_EQ(r.exitCode, 0) << r.errors.toStdString();
    EXPECT_EQ(r.lines, QStringList{"Added Escaped Ink (2): RSS 2.0 feed, newest strip 2026-12-08"});
    EXPECT_FALSE(ini.ReadBool("Comics", "ESCAPED INK", false));
    EXPECT_TRUE(ini.ReadBool("Comics", "Escaped Ink (2)", false));
    r = Run(nginx.Url(""));
    EXPECT_EQ(r.lines, (QStringList{"Escaped Ink (2): New strip updated",
                                    "1 updated, 0 didn't need a update, 0 failed."}));
}

TEST_F(AddComicTest, FailuresSpeakPlainlyWithoutSocketErrorNumbers)
{
    // Nothing listens there.
    const QString refused =
        QStringLiteral("http://127.0.0.1:%1/feed.xml").arg(test::MisbehavingServer::RefusingPort());
    Result r = Add({refused});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.errors.contains("The connection was refused")) << r.errors.toStdString();

    // A name no server answers to, tried as https and then as http, where there is no
    // network at all: in a network namespace of its own.
    QFile f(folder.filePath("Comics.urls"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(catalogue);
    f.close();
    QProcess p;
    p.start("unshare", {"-n", test::BinaryDir() + "/panelwick", "--add-comic", "mossback.example",
                        "--program-folder", folder.path()});
    ASSERT_TRUE(p.waitForFinished(60000));
    const QString errors = QString::fromUtf8(p.readAllStandardError());
    EXPECT_EQ(p.exitCode(), 1) << errors.toStdString();
    EXPECT_TRUE(errors.contains("Cannot find the server mossback.example")) << errors.toStdString();

    for (const QString& said : {r.errors, errors})
        EXPECT_FALSE(said.contains(QRegularExpression("error #?[0-9]|Error #"))) << said.toStdString();
    EXPECT_FALSE(QFile::exists(folder.filePath("MyComics.urls")));
}
