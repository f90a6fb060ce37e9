// A comic site on an address outside the local network (a documentation address in a
// network namespace of the test's own) whose feeds and pages name addresses inside it:
// the real program in batch mode and "--add-comic" ask none of them.
#include "BatchTest.h"
#include "MisbehavingServer.h"
#include "NginxServer.h"
#include "PrivateNetwork.h"
#include "QStringPrinter.h"
#include "TestHosts.h"

#include <gtest/gtest.h>
#include <memory>

using namespace pw;

using test::BatchTest;
using test::MisbehavingServer;

namespace {

// comics.test is a name of this machine (127.0.0.1) for the test.
const bool kTestHosts = test::UseTestHosts();

const QString kPublic = QStringLiteral("192.0.2.1");

QByteArray Png(char seed)
{
    return "\x89PNG\r\n\x1A\n" + QByteArray(200, seed);
}

// An RSS feed of one item that names its picture and its page.
QByteArray Feed(const QString& picture, const QString& page = {})
{
    QByteArray item = "<item><title>Today</title><pubDate>Mon, 07 Dec 2026 09:00:00 GMT</pubDate>";
    if (!page.isEmpty())
        item += "<link>" + page.toUtf8() + "</link>";
    if (!picture.isEmpty())
        item += "<enclosure url=\"" + picture.toUtf8() + "\" type=\"image/png\" length=\"208\"/>";
    return "<?xml version=\"1.0\"?>\n<rss version=\"2.0\"><channel><title>Far Away</title>" + item +
           "</item></channel></rss>\n";
}

struct PublicSiteTest : BatchTest {
    std::unique_ptr<test::NginxServer> site;
    MisbehavingServer local; // what the documents aim at: it must never be asked

    void SetUp() override
    {
        ASSERT_TRUE(kTestHosts);
        QString error;
        if (!test::EnterPrivateNetwork(kPublic, &error))
            GTEST_SKIP() << error.toStdString();
        test::NginxServer::Options o;
        o.ServerBlock = "listen " + kPublic + ":@PORT@;";
        site = std::make_unique<test::NginxServer>(o);
        ASSERT_TRUE(site->Start()) << site->Error().toStdString();
        local.SetScript(
            MisbehavingServer::Respond("HTTP/1.0 200 OK\r\nContent-Type: image/png\r\n\r\n" + Png('L')));
        ASSERT_TRUE(local.Start());
    }
    QString Public(const QString& path) const
    {
        return "http://" + kPublic + ":" + QString::number(site->Port()) + path;
    }
    QString Local(const QString& host, const QString& path) const
    {
        return "http://" + host + ":" + QString::number(local.Port()) + path;
    }
};

} // namespace

TEST_F(PublicSiteTest, AddressesInTheLocalNetworkThatAPublicSiteNamesAreNeverAsked)
{
    ASSERT_TRUE(site->WriteFile("feed.xml", Feed(Local("127.0.0.1", "/strip.png"))));
    ASSERT_TRUE(site->WriteFile("page.html", ("<head><meta property=og:image content=\"" +
                                              Local("127.0.0.1", "/strip.png") + "\"></head>")
                                                 .toUtf8()));
    ASSERT_TRUE(site->WriteFile("linked.html", ("<head><link rel=alternate type=application/rss+xml href=\"" +
                                                Local("10.1.2.3", "/feed.xml") + "\"></head>")
                                                   .toUtf8()));
    ASSERT_TRUE(site->WriteFile("notice.xml", Feed({}, Local("127.0.0.1", "/item.html"))));
    ASSERT_TRUE(
        site->WriteFile("named.xml", Feed(Local("comics.test", "/strip.png")))); // local once resolved
    ASSERT_TRUE(site->WriteFile("login.xml", Feed(Local("user:secret@127.0.0.1", "/strip.png"))));
    ASSERT_TRUE(site->WriteFile("own.xml", Feed(Public("/strip.png"))));
    ASSERT_TRUE(site->WriteFile("strip.png", Png('P')));

    Choose("Feed", Public("/feed.xml"));
    Choose("Page", Public("/page.html"));
    Choose("Linked", Public("/linked.html"));
    Choose("Notice", Public("/notice.xml"));
    Choose("Named", Public("/named.xml"));
    Choose("Login", Public("/login.xml"));
    Choose("Own", Public("/own.xml"));
    const Result r = Run(Public(""));
    EXPECT_EQ(r.exitCode, 1) << r.errors.toStdString();
    QStringList lines = r.lines.mid(0, 7);
    lines.sort();
    const QString refused = ": Failed: the comic's page names an address in the local network";
    EXPECT_EQ(lines, (QStringList{"Feed" + refused, "Linked" + refused, "Login" + refused, "Named" + refused,
                                  "Notice" + refused, "Own: New strip updated", "Page" + refused}))
        << r.errors.toStdString();
    EXPECT_EQ(r.lines.value(7), "1 updated, 0 didn't need a update, 6 failed.");
    EXPECT_EQ(local.Connections(), 0);
    EXPECT_EQ(test::ReadAll(Strip("Own", "Own20261207.png")), Png('P'));
    for (const char* comic : {"Feed", "Page", "Linked", "Notice", "Named", "Login"})
        EXPECT_EQ(FilesOf(comic).filter(".png"), QStringList{}) << comic;

    // Adding the comic asks neither the feed its page links nor the picture a preview needs.
    const Result added = RunProgram({"--add-comic", Public("/linked.html?again")}, Public(""));
    EXPECT_EQ(added.exitCode, 1);
    EXPECT_TRUE(
        added.errors.contains(Local("10.1.2.3", "/feed.xml") +
                              " was not asked: the comic's page names an address in the local network."))
        << added.errors.toStdString();
    EXPECT_EQ(local.Connections(), 0);
}

TEST_F(PublicSiteTest, FetchingOlderStripsAsksNoAddressInTheLocalNetworkEither)
{
    // The newest strip is stored; the older item's picture and the feed's archive are local.
    const QByteArray feed =
        "<?xml version=\"1.0\"?>\n<rss version=\"2.0\" xmlns:atom=\"http://www.w3.org/2005/Atom\"><channel>"
        "<title>Far Away</title><atom:link rel=\"prev-archive\" href=\"" +
        Local("127.0.0.1", "/old.xml").toUtf8() +
        "\"/><item><pubDate>Sun, 07 Dec 2025 09:00:00 GMT</pubDate><enclosure url=\"" +
        Public("/7.png").toUtf8() +
        "\" type=\"image/png\"/></item><item><pubDate>Sat, 06 Dec 2025 09:00:00 GMT</pubDate>"
        "<enclosure url=\"" +
        Local("10.1.2.3", "/6.png").toUtf8() + "\" type=\"image/png\"/></item></channel></rss>\n";
    ASSERT_TRUE(site->WriteFile("feed.xml", feed));
    ASSERT_TRUE(site->WriteFile("7.png", Png('7')));
    Choose("Far", Public("/feed.xml"));
    ini.WriteInteger("Updates", "OlderStripsPause", 0);
    ASSERT_EQ(Run(Public("")).exitCode, 0);
    ASSERT_EQ(FilesOf("Far").filter(".png"), QStringList{"Far20251207.png"});

    const Result r = RunProgram({"--fetch-older", "Far"}, Public(""));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.lines, QStringList{"Far: Failed: the comic's site names an address in the local network (" +
                                   Local("127.0.0.1", "/old.xml") + ")"});
    EXPECT_EQ(FilesOf("Far").filter(".png"), QStringList{"Far20251207.png"});
    EXPECT_EQ(local.Connections(), 0);
}
