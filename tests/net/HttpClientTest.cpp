// The client against real peers on loopback: nginx for pages, files, redirects and
// authentication, tinyproxy as the HTTP proxy.
#include "HttpEventLog.h"
#include "NginxServer.h"
#include "TestPaths.h"
#include "TinyproxyServer.h"
#include "net/THttpCli.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace pw;
using net::THttpCli;
using net::THttpState;

namespace {

const QByteArray kPage = "<html><body>\n<img src=\"/strips/today.gif\">\n</body></html>\n";

// nginx with the locations these tests use.
test::NginxServer::Options Locations()
{
    test::NginxServer::Options o;
    o.ServerBlock = QStringLiteral(R"(
    location = /moved-absolute { return 302 http://127.0.0.1:@PORT@/page.html; }
    location = /moved-relative { absolute_redirect off; return 302 /page.html; }
    location = /moved-bare { absolute_redirect off; return 301 page.html; }
    location = /loop { absolute_redirect off; return 302 /loop; }
    location /private/ { auth_basic "Comics"; auth_basic_user_file @FOLDER@/htpasswd; }
)");
    return o;
}

class WithNginx : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        nginx = new test::NginxServer(Locations());
        ASSERT_TRUE(
            nginx->WriteFile("page.html", kPage, QDateTime(QDate(2000, 3, 7), QTime(9, 15, 2), Qt::UTC)));
        ASSERT_TRUE(nginx->WriteFile("private/secret.html", "members only\n"));
        ASSERT_EQ(QProcess::execute(QStringLiteral("htpasswd"),
                                    {"-bc", nginx->Folder() + "/htpasswd", "reader", "pa:ss word"}),
                  0);
        ASSERT_TRUE(nginx->Start()) << nginx->Error().toStdString();
    }
    static void TearDownTestSuite()
    {
        delete nginx;
        nginx = nullptr;
    }

    // Runs one GET of url to completion and returns the body.
    QByteArray Get(const QString& url)
    {
        client.URL = url;
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        client.ReceiveStream = &buffer;
        const int before = log.done;
        client.StartGet();
        EXPECT_TRUE(test::WaitFor([&] { return log.done > before; }, 15000)) << url.toStdString();
        client.ReceiveStream = nullptr;
        return buffer.data();
    }

    static test::NginxServer* nginx;
    THttpCli client;
    test::HttpEventLog log{client};
};

test::NginxServer* WithNginx::nginx = nullptr;

} // namespace

TEST_F(WithNginx, GetReportsEveryEventInOrderAndStoresThePage)
{
    const QByteArray body = Get(nginx->Url("/page.html"));
    EXPECT_EQ(body, kPage);
    EXPECT_EQ(log.body, kPage);
    EXPECT_EQ(log.done, 1);
    EXPECT_EQ(log.lastError, 0);
    EXPECT_EQ(log.lastKind, net::THttpRequest::Get);
    EXPECT_EQ(client.ResponseStatus(), 200);
    EXPECT_EQ(client.ResponseReason(), "OK");
    EXPECT_EQ(client.ResponseType(), "text/html");
    EXPECT_EQ(client.ResponseLength(), kPage.size());
    EXPECT_EQ(client.DocumentName(), "page.html");
    EXPECT_TRUE(log.headerLines.contains("Last-Modified: Tue, 07 Mar 2000 09:15:02 GMT"))
        << log.headerLines.join("\n").toStdString();
    EXPECT_EQ(log.headerLines.value(0), "HTTP/1.1 200 OK");
    EXPECT_EQ(client.ClientState(), THttpState::Ready);

    const QStringList expected = {"State:Preparing",
                                  "State:ResolvingHost",
                                  "State:HostResolved",
                                  "State:Connected",
                                  "SessionConnected",
                                  "State:ReadingHeader",
                                  "RequestHeaderBegin",
                                  "RequestHeaderEnd",
                                  "HeaderBegin",
                                  "State:ReadingBody",
                                  "HeaderEnd",
                                  "DocBegin",
                                  "DocEnd",
                                  "State:Ready",
                                  "Done:1:0"};
    EXPECT_EQ(log.Milestones(), expected);
    // The request lines pass OnCommand in order.
    QStringList commands;
    for (const QString& e : log.events)
        if (e.startsWith("Command:"))
            commands << e.mid(8);
    EXPECT_EQ(commands, QStringList({"GET /page.html HTTP/1.0",
                                     "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*",
                                     "User-Agent: Mozilla/3.0 (compatible)", "Host: 127.0.0.1"}));
    EXPECT_TRUE(nginx->AccessLog().contains("\"GET /page.html HTTP/1.0\" 200"));
}

TEST_F(WithNginx, LargeFileArrivesWholeInAFile)
{
    constexpr qint64 size = 50LL * 1024 * 1024;
    ASSERT_TRUE(nginx->WritePatternFile("big.bin", size));
    QTemporaryDir dir;
    QFile file(dir.filePath("big.bin"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    client.URL = nginx->Url("/big.bin");
    client.ReceiveStream = &file;
    client.StartGet();
    ASSERT_TRUE(test::WaitFor([&] { return log.done == 1; }, 120000));
    file.close();
    EXPECT_EQ(log.lastError, 0);
    EXPECT_EQ(client.BodyBytes(), size);
    EXPECT_EQ(client.ResponseLength(), size);
    ASSERT_EQ(QFileInfo(file.fileName()).size(), size);
    QFile served(nginx->Root() + "/big.bin");
    ASSERT_TRUE(served.open(QIODevice::ReadOnly));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QCryptographicHash a(QCryptographicHash::Sha1);
    QCryptographicHash b(QCryptographicHash::Sha1);
    a.addData(&served);
    b.addData(&file);
    EXPECT_EQ(a.result(), b.result());
    EXPECT_EQ(log.Count("DocBegin"), 1);
    EXPECT_EQ(log.Count("DocEnd"), 1);
}

TEST_F(WithNginx, RedirectsAbsoluteRelativeAndBare)
{
    for (const char* path : {"/moved-absolute", "/moved-relative", "/moved-bare"}) {
        THttpCli c;
        test::HttpEventLog l(c);
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        c.ReceiveStream = &buffer;
        c.URL = nginx->Url(path);
        c.StartGet();
        ASSERT_TRUE(test::WaitFor([&] { return l.done == 1; }, 15000)) << path;
        EXPECT_EQ(l.lastError, 0) << path;
        EXPECT_EQ(c.ResponseStatus(), 200) << path;
        EXPECT_EQ(buffer.data(), kPage) << path;
        EXPECT_EQ(l.Count("LocationChange"), 1) << path;
        EXPECT_EQ(c.RequestTarget(), "/page.html") << path;
        EXPECT_EQ(c.ConnectPort(), QString::number(nginx->Port())) << path;
        // A redirect goes back to the lookup without passing Ready; one completion only.
        EXPECT_EQ(l.Count("State:Ready"), 1) << path;
        EXPECT_EQ(l.Count("HeaderBegin"), 2) << path;
        EXPECT_EQ(l.Count("DocBegin"), 1) << path;
    }
}

TEST_F(WithNginx, LocationLoopEnds)
{
    Get(nginx->Url("/loop"));
    EXPECT_EQ(log.done, 1);
    EXPECT_EQ(log.lastError, net::HttpError::TooManyRedirects);
    EXPECT_EQ(client.ResponseReason(), "Too many redirections");
    EXPECT_EQ(log.Count("LocationChange"), THttpCli::MaxRedirects);
}

TEST_F(WithNginx, ErrorStatusIsReportedWithoutBody)
{
    const QByteArray body = Get(nginx->Url("/missing.html"));
    EXPECT_EQ(log.lastError, 0);
    EXPECT_EQ(client.ResponseStatus(), 404);
    EXPECT_EQ(client.ResponseReason(), "Not Found");
    EXPECT_TRUE(body.isEmpty());
    EXPECT_EQ(log.Count("DocBegin"), 0);
    EXPECT_EQ(log.headerLines.size(), 1); // the rest of the header is not read
}

TEST_F(WithNginx, BasicAuthenticationFromTheUrlOrTheProperties)
{
    Get(nginx->Url("/private/secret.html"));
    EXPECT_EQ(client.ResponseStatus(), 401);

    QString url = nginx->Url("/private/secret.html");
    url.replace("http://", "http://reader:pa:ss word@");
    EXPECT_EQ(Get(url), "members only\n");
    EXPECT_EQ(client.ResponseStatus(), 200);
    // The login of the address was for that request alone.
    EXPECT_EQ(client.Username, "");
    Get(nginx->Url("/private/secret.html"));
    EXPECT_EQ(client.ResponseStatus(), 401);

    THttpCli other;
    test::HttpEventLog otherLog(other);
    other.URL = nginx->Url("/private/secret.html");
    other.Username = "reader";
    other.Password = "wrong";
    other.StartGet();
    ASSERT_TRUE(test::WaitFor([&] { return otherLog.done == 1; }, 15000));
    EXPECT_EQ(other.ResponseStatus(), 401);
}

TEST_F(WithNginx, HostNamesAndDottedAddresses)
{
    EXPECT_EQ(Get(QStringLiteral("http://localhost:%1/page.html").arg(nginx->Port())), kPage);
    EXPECT_EQ(log.lastError, 0);
    EXPECT_EQ(client.HostHeader(), "localhost");

    EXPECT_EQ(Get(QStringLiteral("127.0.0.1:%1/page.html").arg(nginx->Port())), kPage); // no scheme
    EXPECT_EQ(log.lastError, 0);

    Get("http://nonexistent.invalid/page.html");
    EXPECT_EQ(log.lastError, 11001);
    EXPECT_EQ(client.ResponseStatus(), 404);
    EXPECT_EQ(client.ResponseReason(), "can't resolve hostname to IP address");
    EXPECT_EQ(log.Count("State:Connected"), 2); // only the two good requests got that far
}

TEST_F(WithNginx, NextRequestMayStartInsideRequestDone)
{
    // The update job asks for the page, then for the strip from OnRequestDone.
    QBuffer first;
    QBuffer second;
    first.open(QIODevice::WriteOnly);
    second.open(QIODevice::WriteOnly);
    int done = 0;
    client.OnRequestDone = [&](THttpCli* c, net::THttpRequest, std::uint16_t error) {
        EXPECT_EQ(error, 0);
        EXPECT_EQ(c->ClientState(), THttpState::Ready);
        if (++done == 1) {
            c->URL = nginx->Url("/private/secret.html");
            c->ReceiveStream = &second;
            c->StartGet();
        }
    };
    client.URL = nginx->Url("/page.html");
    client.ReceiveStream = &first;
    client.StartGet();
    EXPECT_THROW(client.StartGet(), net::EHttpException);
    try {
        client.StartGet();
    } catch (const net::EHttpException& e) {
        EXPECT_EQ(e.ErrorCode, 1);
        EXPECT_EQ(e.Message(), "HTTP component is busy");
    }
    ASSERT_TRUE(test::WaitFor([&] { return done == 2; }, 15000));
    EXPECT_EQ(first.data(), kPage);
    EXPECT_EQ(client.ResponseStatus(), 401);
    test::WaitFor([] { return false; }, 50);
    EXPECT_EQ(done, 2);
}

TEST_F(WithNginx, AbortDuringLookupReportsOnceWithErrorThree)
{
    client.URL = QStringLiteral("http://localhost:%1/page.html").arg(nginx->Port());
    client.StartGet();
    ASSERT_EQ(client.ClientState(), THttpState::ResolvingHost);
    client.Abort();
    EXPECT_EQ(client.ClientState(), THttpState::Ready);
    EXPECT_EQ(log.done, 0); // posted, never fired inside Abort
    ASSERT_TRUE(test::WaitFor([&] { return log.done == 1; }));
    test::WaitFor([] { return false; }, 300);
    EXPECT_EQ(log.done, 1);
    EXPECT_EQ(log.lastError, 3);
    EXPECT_EQ(client.ResponseStatus(), 404);
    EXPECT_EQ(client.ResponseReason(), "Connection aborted on request");
    EXPECT_EQ(log.Count("State:HostResolved"), 0);
    // Abort when idle reports nothing.
    client.Abort();
    test::WaitFor([] { return false; }, 50);
    EXPECT_EQ(log.done, 1);
}

TEST_F(WithNginx, AbortDuringTheBodyStopsTheTransfer)
{
    ASSERT_TRUE(nginx->WritePatternFile("abort.bin", 20LL * 1024 * 1024));
    int chunksAfterAbort = 0;
    bool aborted = false;
    client.OnDocData = [&](THttpCli* c, const char*, qint64) {
        if (aborted)
            ++chunksAfterAbort;
        else {
            aborted = true;
            c->Abort();
        }
    };
    client.OnRequestDone = [&](THttpCli*, net::THttpRequest, std::uint16_t error) {
        ++log.done;
        log.lastError = error;
    };
    Get(nginx->Url("/abort.bin"));
    test::WaitFor([] { return false; }, 200);
    EXPECT_EQ(log.done, 1);
    EXPECT_EQ(log.lastError, 3);
    EXPECT_EQ(chunksAfterAbort, 0);
    EXPECT_LT(client.BodyBytes(), 20LL * 1024 * 1024);
    EXPECT_EQ(client.ClientState(), THttpState::Ready);
}

TEST_F(WithNginx, ProxySettingWithAPortSendsAnAbsoluteRequest)
{
    // nginx answers absolute-URI requests itself, as a proxy would.
    client.Proxy = nginx->HostPort();
    client.ProxyPort = "1";
    EXPECT_EQ(Get(nginx->Url("/page.html")), kPage);
    EXPECT_EQ(log.lastError, 0);
    EXPECT_EQ(client.RequestTarget(), nginx->Url("/page.html"));
    EXPECT_TRUE(
        nginx->AccessLog().contains("\"GET " + nginx->Url("/page.html").toUtf8() + " HTTP/1.0\" 200"));
}

class ThroughTinyproxy : public WithNginx {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(proxy.Start()) << proxy.Error().toStdString();
        client.Proxy = QStringLiteral("127.0.0.1");
        client.ProxyPort = QString::number(proxy.Port());
    }
    test::TinyproxyServer proxy;
};

TEST_F(ThroughTinyproxy, RequestsGoOutAsAbsoluteAddressesWithTheTargetHost)
{
    QStringList commands;
    client.OnCommand = [&](THttpCli*, QByteArray& line) { commands << QString::fromLatin1(line); };
    EXPECT_EQ(Get(nginx->Url("/page.html")), kPage);
    EXPECT_EQ(log.lastError, 0);
    EXPECT_EQ(commands.value(0), "GET " + nginx->Url("/page.html") + " HTTP/1.0");
    EXPECT_TRUE(commands.contains("Host: 127.0.0.1"));
    EXPECT_EQ(client.ConnectPort(), QString::number(proxy.Port()));
    EXPECT_TRUE(proxy.WaitForLog("GET " + nginx->Url("/page.html").toUtf8())) << proxy.Log().toStdString();
}

TEST_F(ThroughTinyproxy, HostAndPortInProxyIgnoreProxyPort)
{
    client.Proxy = proxy.HostPort();
    client.ProxyPort = QString::number(nginx->Port() + 1);
    EXPECT_EQ(Get(nginx->Url("/page.html")), kPage);
    EXPECT_EQ(log.lastError, 0);
    EXPECT_EQ(client.ConnectPort(), QString::number(proxy.Port()));
}

TEST_F(ThroughTinyproxy, RedirectsKeepGoingThroughTheProxy)
{
    for (const char* path : {"/moved-absolute", "/moved-relative"}) {
        EXPECT_EQ(Get(nginx->Url(path)), kPage) << path;
        EXPECT_EQ(log.lastError, 0) << path;
        EXPECT_EQ(client.RequestTarget(), nginx->Url("/page.html")) << path;
        EXPECT_EQ(client.ConnectPort(), QString::number(proxy.Port())) << path;
    }
    EXPECT_TRUE(proxy.WaitForLog("GET " + nginx->Url("/moved-relative").toUtf8()));
    EXPECT_EQ(proxy.Log().count("GET " + nginx->Url("/page.html").toUtf8()), 2);
}

TEST_F(ThroughTinyproxy, UnresolvableProxyFailsLikeAnUnresolvableHost)
{
    client.Proxy = QStringLiteral("nonexistent.invalid");
    Get(nginx->Url("/page.html"));
    EXPECT_EQ(log.lastError, 11001);
    EXPECT_EQ(client.ResponseReason(), "can't resolve hostname to IP address");
}

TEST_F(WithNginx, RequestStartedRightAfterAnAbortIsNotEndedByTheOldOne)
{
    ASSERT_TRUE(nginx->WritePatternFile("first.bin", 4LL * 1024 * 1024));
    QBuffer second;
    second.open(QIODevice::WriteOnly);
    std::vector<std::uint16_t> errors;
    client.OnRequestDone = [&](THttpCli*, net::THttpRequest, std::uint16_t error) {
        errors.push_back(error);
    };
    client.OnDocData = [&](THttpCli* c, const char*, qint64) {
        if (c->URL.endsWith("first.bin")) {
            c->Abort(); // the close of this connection is still to be reported
            c->URL = nginx->Url("/page.html");
            c->ReceiveStream = &second;
            c->StartGet();
        }
    };
    client.URL = nginx->Url("/first.bin");
    client.StartGet();
    ASSERT_TRUE(test::WaitFor([&] { return errors.size() == 2; }, 15000));
    test::WaitFor([] { return false; }, 100);
    EXPECT_EQ(errors, std::vector<std::uint16_t>({3, 0}));
    EXPECT_EQ(second.data(), kPage);
    EXPECT_EQ(client.ResponseStatus(), 200);
}
