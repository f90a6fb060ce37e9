// The real program in batch mode against servers and pages that try to make an update
// store garbage, hang on, go to another server or hide what went wrong: every job ends,
// is counted as failed with a reason that names what happened, and leaves no file.
#include "BatchTest.h"
#include "MisbehavingServer.h"
#include "QStringPrinter.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace pw;
using test::MisbehavingServer;

namespace {

const QByteArray kDate = "Tue, 07 Mar 2000 09:15:02 GMT";

QByteArray PageResponse(const QByteArray& date, const QByteArray& page = test::Page("s.gif"))
{
    return "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nLast-Modified: " + date + "\r\n\r\n" + page;
}

QByteArray ImageHeader(qint64 length = -1)
{
    QByteArray header = "HTTP/1.0 200 OK\r\nContent-Type: image/gif\r\n";
    if (length >= 0)
        header += "Content-Length: " + QByteArray::number(length) + "\r\n";
    return header + "\r\n";
}

// One job at a time, so that connection i of the server belongs to a known comic.
struct Hostile : test::BatchTest {
    MisbehavingServer server;

    void SetUp() override
    {
        ini.WriteInteger("Downloads", "MaxSimDownloads", 1);
        ASSERT_TRUE(server.Start());
    }

    // Runs the batch; every comic must have failed with its reason and left nothing.
    Result RunFailing(const QStringList& expected, const QStringList& env = {})
    {
        Result r = Run(server.Url(""), env);
        EXPECT_EQ(r.exitCode, 1) << r.errors.toStdString();
        QStringList want = expected;
        want << QString("0 updated, 0 didn't need a update, %1 failed.").arg(expected.size());
        EXPECT_EQ(r.lines, want) << r.errors.toStdString();
        for (const QString& line : expected) {
            const QString comic = line.section(':', 0, 0);
            EXPECT_EQ(FilesOf(comic), QStringList{}) << comic.toStdString();
        }
        return r;
    }
};

} // namespace

TEST_F(Hostile, StripsAreCappedAt32MB)
{
    server.SetScripts({
        MisbehavingServer::Respond(PageResponse(kDate)),
        MisbehavingServer::Script().ReadRequest().Send(ImageHeader()).SendEndless(QByteArray(65536, 'g')),
        MisbehavingServer::Respond(PageResponse(kDate)),
        MisbehavingServer::Script()
            .ReadRequest()
            .Send(ImageHeader(40 * 1024 * 1024))
            .SendEndless(QByteArray(65536, 'h')),
    });
    Choose("Endless", server.Url("/endless.html"));
    Choose("Announced", server.Url("/announced.html"));
    RunFailing({"Endless: Failed: the strip is larger than 32 MB",
                "Announced: Failed: the strip is larger than 32 MB"});
    EXPECT_EQ(server.Connections(), 4);
}

TEST_F(Hostile, DrippingServerMeetsTheJobDeadline)
{
    // Every byte comes well within the 400 ms time-out, so only the deadline of ten
    // time-outs can end the job before the 16 s page is through.
    server.SetScript(MisbehavingServer::Script()
                         .ReadRequest()
                         .Send("HTTP/1.0 200 OK\r\nLast-Modified: " + kDate + "\r\n\r\n")
                         .SendSlowly(test::Page("s.gif").leftJustified(400, ' '), 40));
    Choose("Drip", server.Url("/drip.html"));
    const Result r = RunFailing({"Drip: Timed out"}, {"PANELWICK_JOB_TIMEOUT_MS=400"});
    EXPECT_TRUE(r.errors.contains("Drip timed out while contacting the comic server."))
        << r.errors.toStdString();
}

TEST_F(Hostile, AddingAComicMeetsTheSameDeadline)
{
    // A feed that drips a byte well within each 400 ms time-out would hold the probe for
    // 16 s; the deadline of ten time-outs ends it.
    server.SetScript(
        MisbehavingServer::Script()
            .ReadRequest()
            .Send("HTTP/1.0 200 OK\r\nContent-Type: application/rss+xml\r\n\r\n")
            .SendSlowly(
                QByteArray("<?xml version=\"1.0\"?><rss version=\"2.0\"><channel>").leftJustified(400, ' '),
                40));
    const Result r = RunProgram({"--add-comic", server.Url("/drip.xml")}, server.Url(""),
                                {"PANELWICK_JOB_TIMEOUT_MS=400"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.errors.contains("Timed out: " + server.Url("/drip.xml") + " did not answer in time."))
        << r.errors.toStdString();
    EXPECT_FALSE(QFile::exists(folder.filePath("MyComics.urls")));
}

TEST_F(Hostile, APageFromTheFutureIsTodaysStrip)
{
    const QByteArray strip = "GIF89a" + test::Bytes('f', 100);
    server.SetScripts({MisbehavingServer::Respond(PageResponse("Fri, 31 Dec 9999 23:59:59 GMT")),
                       MisbehavingServer::Respond(ImageHeader(strip.size()) + strip)});
    Choose("Future", server.Url("/future.html"));
    const QDate before = QDateTime::currentDateTimeUtc().date();
    const Result r = Run(server.Url(""));
    const QDate after = QDateTime::currentDateTimeUtc().date();
    EXPECT_EQ(r.lines,
              QStringList({"Future: New strip updated", "1 updated, 0 didn't need a update, 0 failed."}))
        << r.errors.toStdString();
    const QStringList stored = FilesOf("Future").filter(".gif");
    ASSERT_EQ(stored.size(), 1) << FilesOf("Future").join(' ').toStdString();
    EXPECT_TRUE(stored[0] == "Future" + before.toString("yyyyMMdd") + ".gif" ||
                stored[0] == "Future" + after.toString("yyyyMMdd") + ".gif")
        << stored[0].toStdString();
    EXPECT_EQ(test::ReadAll(Strip("Future", stored[0])), strip);
}

TEST_F(Hostile, ImpossibleDatesDecideNothing)
{
    server.SetScripts({MisbehavingServer::Respond(PageResponse("Tue, 32 Mar 2000 09:15:02 GMT")),
                       MisbehavingServer::Respond(PageResponse("Wed, 30 Feb 2000 09:15:02 GMT")),
                       MisbehavingServer::Respond(PageResponse("Mon, 01 Jan 0999 00:00:00 GMT"))});
    Choose("March", server.Url("/a.html"));
    Choose("February", server.Url("/b.html"));
    Choose("Ancient", server.Url("/c.html"));
    const Result r = RunFailing({"March: Failed: the page's Last-modified date is not a valid date",
                                 "February: Failed: the page's Last-modified date is not a valid date",
                                 "Ancient: Failed: the page's Last-modified date is not a valid date"});
    EXPECT_EQ(r.errors.count("Exception in OnHeaders"), 3) << r.errors.toStdString();
    EXPECT_EQ(server.Connections(), 3); // no strip was asked for
}

TEST_F(Hostile, StripAddressCannotLeaveTheSite)
{
    MisbehavingServer elsewhere;
    elsewhere.SetScript(MisbehavingServer::Respond(ImageHeader(4) + "GIF8"));
    ASSERT_TRUE(elsewhere.Start());
    const QByteArray other = "127.0.0.1:" + QByteArray::number(elsewhere.Port());
    const auto page = [](const QByteArray& href) {
        return "<html>\n<a href=\"" + href + "\">archive/images</a>\n</html>\n";
    };
    server.SetScripts(
        {MisbehavingServer::Respond(PageResponse(kDate, page("@" + other + "/archive/images/x.gif"))),
         MisbehavingServer::Respond(PageResponse(kDate, page(":1@" + other + "/archive/images/y.gif")))});
    Choose("At", server.Url("/at.html"));
    Choose("Colon", server.Url("/colon.html"));
    RunFailing({"At: Failed: the strip address leaves the comic site",
                "Colon: Failed: the strip address leaves the comic site"});
    EXPECT_EQ(elsewhere.Connections(), 0);
    EXPECT_EQ(server.Connections(), 2);
}

TEST_F(Hostile, RedirectsThatWouldInjectAreRefused)
{
    const auto redirect = [](const QByteArray& location) {
        return MisbehavingServer::Respond("HTTP/1.0 302 Found\r\nLocation: " + location + "\r\n\r\n");
    };
    server.SetScripts({redirect("/next\rX-Injected: yes"), redirect("/next page.html"),
                       redirect(QByteArray("/next\0.html", 11)), redirect("/next\x01.html")});
    const QString reason = ": Failed: the server redirected to an address with a space or control character";
    QStringList expected;
    for (const QString name : {"CR", "Space", "NUL", "Control"}) {
        Choose(name, server.Url("/" + name.toLower() + ".html"));
        expected << name + reason;
    }
    RunFailing(expected);
    EXPECT_EQ(server.Connections(), 4); // none was followed
}

TEST_F(Hostile, FailureReasonsNameWhatHappened)
{
    server.SetScripts({
        MisbehavingServer::Respond("<HTML><BODY>no header at all</BODY></HTML>\r\n"),
        MisbehavingServer::Respond(PageResponse(kDate)),
        MisbehavingServer::Respond(ImageHeader(10) + test::Bytes('l', 20)),
        MisbehavingServer::Respond(PageResponse(kDate)),
        MisbehavingServer::Respond(ImageHeader(100) + test::Bytes('s', 20)),
    });
    Choose("Bare", server.Url("/bare.html"));
    Choose("Longer", server.Url("/longer.html"));
    Choose("Shorter", server.Url("/shorter.html"));
    RunFailing({"Bare: Failed: the server's answer has no HTTP header",
                "Longer: Failed: the server sent more than the 10 bytes it announced",
                "Shorter: Failed: the connection ended before the whole document arrived"});
}

TEST_F(Hostile, ControlCharactersNeverReachTheTerminal)
{
    // A reason phrase that would retitle the terminal, colour it, clear the line and
    // print a fake result; and a catalogue name that would reset the terminal.
    server.SetScripts({MisbehavingServer::Respond("HTTP/1.0 404 \x1b]0;OWNED\x07\x1b[31m\x9b"
                                                  "2J \x1b[2K\rAlpha: updated\r\n\r\n"),
                       MisbehavingServer::Respond("HTTP/1.0 404 Not Found\r\n\r\n")});
    Choose("Evil", server.Url("/evil.html"));
    Choose("Clear\x1b"
           "c",
           server.Url("/clear.html"));
    const Result r = RunFailing(
        {"Evil: Failed: the server answered 404 \\x1b]0;OWNED\\x07\\x1b[31m\\x9b2J \\x1b[2K\\x0dAlpha: "
         "updated",
         "Clear\\x1bc: Failed: the server answered 404 Not Found"});
    for (const QString& line : r.lines + QStringList{r.errors}) {
        for (const QChar c : line)
            EXPECT_FALSE(c.unicode() < 0x20 && c != '\n') << line.toStdString();
    }
}

TEST_F(Hostile, LoginStaysWithItsServer)
{
    MisbehavingServer elsewhere;
    elsewhere.SetScript(MisbehavingServer::Respond("HTTP/1.0 404 Not Found\r\n\r\n"));
    ASSERT_TRUE(elsewhere.Start());
    server.SetScript(MisbehavingServer::Respond(
        "HTTP/1.0 302 Found\r\nLocation: " + elsewhere.Url("/page.html").toLatin1() + "\r\n\r\n"));
    Choose("Login", server.Url("/page.html").replace("http://", "http://user:secret@"));
    RunFailing({"Login: Failed: the server answered 404 Not Found"});
    ASSERT_EQ(server.Connections(), 1);
    ASSERT_EQ(elsewhere.Connections(), 1);
    EXPECT_TRUE(server.Request(0).contains("\r\nAuthorization: Basic dXNlcjpzZWNyZXQ=\r\n"))
        << server.Request(0).toStdString();
    EXPECT_FALSE(elsewhere.Request(0).contains("Authorization")) << elsewhere.Request(0).toStdString();
}

TEST_F(Hostile, PublicSiteCannotRedirectIntoTheLocalNetwork)
{
    // The server plays an HTTP proxy, so that the comics can have public addresses.
    ini.WriteBool("Proxy", "UseProxy", true);
    ini.WriteString("Proxy", "ProxyIP", "127.0.0.1");
    ini.WriteString("Proxy", "ProxyPort", QString::number(server.Port()));
    const auto redirect = [](const QByteArray& location) {
        return MisbehavingServer::Respond("HTTP/1.0 302 Found\r\nLocation: " + location + "\r\n\r\n");
    };
    server.SetScripts({redirect("http://127.0.0.1:8080/admin"), redirect("http://192.168.1.1/"),
                       redirect("http://2130706433/"), redirect("http://localhost./admin"),
                       redirect("http://10.0.0.6/next.html"),
                       MisbehavingServer::Respond("HTTP/1.0 404 Not Found\r\n\r\n")});
    Choose("Loopback", "http://strips.example.org/a.html");
    Choose("Private", "http://strips.example.org/b.html");
    Choose("Decimal", "http://strips.example.org/c.html");
    Choose("Dotted", "http://strips.example.org/e.html");
    Choose("Intranet", "http://10.0.0.5/d.html"); // a local site may redirect within the network
    const QString refused = ": Failed: the server redirected to an address in the local network";
    RunFailing({"Loopback" + refused, "Private" + refused, "Decimal" + refused, "Dotted" + refused,
                "Intranet: Failed: the server answered 404 Not Found"});
    ASSERT_EQ(server.Connections(), 6);
    EXPECT_TRUE(server.Request(5).startsWith("GET http://10.0.0.6/next.html HTTP/1.0\r\n"))
        << server.Request(4).toStdString();
}

TEST_F(Hostile, APlantedLinkIsNeverFollowed)
{
    // Someone who can write to the comic's folder links the download's name to a file of
    // the user's; the strip must go to a file of its own.
    const QString victim = folder.filePath("victim.txt");
    QFile v(victim);
    ASSERT_TRUE(v.open(QIODevice::WriteOnly));
    v.write("precious\n");
    v.close();
    ASSERT_TRUE(QDir().mkpath(folder.filePath("Comics/Planted")));
    ASSERT_TRUE(QFile::link(victim, folder.filePath("Comics/Planted/.Planted20000307.gif.part")));
    const QByteArray strip = "GIF89a" + test::Bytes('p', 200);
    server.SetScripts({MisbehavingServer::Respond(PageResponse(kDate)),
                       MisbehavingServer::Respond(ImageHeader(strip.size()) + strip)});
    Choose("Planted", server.Url("/planted.html"));
    const Result r = Run(server.Url(""));
    EXPECT_EQ(r.lines,
              QStringList({"Planted: New strip updated", "1 updated, 0 didn't need a update, 0 failed."}))
        << r.errors.toStdString();
    EXPECT_EQ(test::ReadAll(victim), "precious\n");
    const QFileInfo stored(Strip("Planted", "Planted20000307.gif"));
    EXPECT_FALSE(stored.isSymLink());
    EXPECT_EQ(test::ReadAll(stored.filePath()), strip);
    EXPECT_EQ(FilesOf("Planted"), QStringList({"Planted.unr", "Planted20000307.gif"})); // the link went
}
