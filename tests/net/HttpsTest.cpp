// The client over TLS against real peers: nginx with certificates made by the test, the
// names comics.test and other.test through nss_wrapper, tinyproxy's CONNECT, dante's
// SOCKS 5, and a scripted server for handshakes that drip, stop or are no TLS at all.
#include "DanteServer.h"
#include "HttpEventLog.h"
#include "MisbehavingServer.h"
#include "NginxServer.h"
#include "TestCertificates.h"
#include "TestHosts.h"
#include "TestPaths.h"
#include "TinyproxyServer.h"
#include "net/THttpCli.h"
#include "net/TWSocket.h"
#include "net/TlsContext.h"

#include <QBuffer>
#include <gtest/gtest.h>
#include <memory>

using namespace pw;
using net::THttpCli;
namespace TlsError = net::TlsError;

namespace {

// comics.test and other.test are names of this machine for the test.
const bool kTestHosts = test::UseTestHosts();

const QByteArray kPage = "<html><body>\n<a href=\"/archive/images/today.gif\">today</a>\n</body></html>\n";
constexpr qint64 kStripSize = 300 * 1000;

class Https : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        certs = new test::TestCertificates;
        ASSERT_TRUE(certs->Make()) << certs->Error().toStdString();
        // Read when a TlsContext is made: each test makes its own below.
        qputenv("SSL_CERT_FILE", certs->CaFile().toLocal8Bit());
        qputenv("SSL_CERT_DIR", "/nonexistent/no-system-certificates");
    }
    static void TearDownTestSuite()
    {
        delete certs;
        certs = nullptr;
    }

    void SetUp() override { client.Socket().SetSslContext(&tls); }

    // nginx with the page and the strip, speaking TLS with the given certificate.
    static std::unique_ptr<test::NginxServer> Server(const test::TestCertificates::Pair& pair,
                                                     const QString& serverBlock = {})
    {
        test::NginxServer::Options o;
        o.Certificate = pair.Certificate;
        o.CertificateKey = pair.Key;
        o.ServerBlock = serverBlock;
        auto nginx = std::make_unique<test::NginxServer>(o);
        EXPECT_TRUE(nginx->WriteFile("page.html", kPage));
        EXPECT_TRUE(nginx->WritePatternFile("archive/images/today.gif", kStripSize));
        EXPECT_TRUE(nginx->Start()) << nginx->Error().toStdString();
        return nginx;
    }

    static test::NginxServer::Options Block(const QString& serverBlock)
    {
        test::NginxServer::Options o;
        o.ServerBlock = serverBlock;
        return o;
    }

    QByteArray Get(const QString& url)
    {
        client.URL = url;
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        client.ReceiveStream = &buffer;
        const int before = log.done;
        client.StartGet();
        EXPECT_TRUE(test::WaitFor([&] { return log.done > before; }, 30000)) << url.toStdString();
        client.ReceiveStream = nullptr;
        return buffer.data();
    }

    static QByteArray Pattern(qint64 size)
    {
        QByteArray bytes(size, '\0');
        for (qint64 i = 0; i < size; ++i)
            bytes[i] = test::NginxServer::PatternByte(i);
        return bytes;
    }

    static test::TestCertificates* certs;
    net::TlsContext tls;
    THttpCli client;
    test::HttpEventLog log{client};
};

test::TestCertificates* Https::certs = nullptr;

} // namespace

TEST_F(Https, PageAndStripArriveWholeWithOneFullHandshake)
{
    const auto nginx = Server(certs->Good());
    EXPECT_EQ(Get(nginx->SecureUrl("comics.test", "/page.html")), kPage);
    EXPECT_EQ(client.CompletionError(), 0);
    EXPECT_EQ(client.ResponseStatus(), 200);
    EXPECT_TRUE(client.Socket().SslHost().isEmpty()); // the close forgot the connection's settings
    const QByteArray strip = Get(nginx->SecureUrl("comics.test", "/archive/images/today.gif"));
    EXPECT_EQ(client.CompletionError(), 0);
    EXPECT_TRUE(strip == Pattern(kStripSize)) << strip.size();
    EXPECT_EQ(tls.HandshakeCount().Full, 1u);
    EXPECT_EQ(tls.HandshakeCount().Resumed, 1u);

    // An address instead of a name is checked as an address; it has sessions of its own.
    EXPECT_EQ(Get(nginx->SecureUrl("127.0.0.1", "/page.html")), kPage);
    EXPECT_EQ(client.CompletionError(), 0);
    EXPECT_EQ(tls.HandshakeCount().Full, 2u);
    // The request went as an ordinary one: origin-form target, Host without the port.
    EXPECT_TRUE(nginx->AccessLog().contains("\"GET /page.html HTTP/1.0\" 200"));
}

TEST_F(Https, RefusedCertificatesEndTheRequestWithTheirReason)
{
    struct Case {
        const char* name;
        test::TestCertificates::Pair pair;
        const char* host;
        std::uint16_t error;
        QString reason;
    };
    const Case cases[] = {
        {"expired", certs->Expired(), "comics.test", TlsError::CertificateExpired,
         "the site's certificate has expired"},
        {"other name", certs->WrongName(), "comics.test", TlsError::HostMismatch,
         "the site's certificate is not valid for comics.test"},
        {"good for comics.test only", certs->Good(), "other.test", TlsError::HostMismatch,
         "the site's certificate is not valid for other.test"},
        {"self-signed", certs->SelfSigned(), "comics.test", TlsError::Untrusted,
         "the site's certificate is not trusted"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto nginx = Server(c.pair);
        EXPECT_TRUE(Get(nginx->SecureUrl(c.host, "/page.html")).isEmpty());
        EXPECT_EQ(log.lastError, c.error);
        EXPECT_EQ(client.ResponseReason(), c.reason);
        EXPECT_FALSE(nginx->AccessLog().contains("GET")); // no request left the client
    }
    EXPECT_EQ(tls.HandshakeCount().Full, 0u);
    EXPECT_EQ(tls.CachedSessions(), 0u);
}

TEST_F(Https, HttpIsFollowedToHttpsButHttpsNeverBackToHttp)
{
    test::NginxServer plain(Block(QStringLiteral("location = /down.html { return 302 "
                                                 "http://comics.test:@PORT@/page.html; }")));
    ASSERT_TRUE(plain.WriteFile("page.html", kPage));
    ASSERT_TRUE(plain.Start()) << plain.Error().toStdString();
    const auto secure = Server(
        certs->Good(), QStringLiteral("location = /down.html { return 302 http://comics.test:%1/page.html; }")
                           .arg(plain.Port()));
    test::NginxServer upgrading(Block(
        QStringLiteral("location / { return 301 https://comics.test:%1$request_uri; }").arg(secure->Port())));
    ASSERT_TRUE(upgrading.Start()) << upgrading.Error().toStdString();

    EXPECT_EQ(Get(QStringLiteral("http://comics.test:%1/page.html").arg(upgrading.Port())), kPage);
    EXPECT_EQ(client.CompletionError(), 0);
    EXPECT_EQ(client.CurrentAddress(), secure->SecureUrl("comics.test", "/page.html"));

    EXPECT_TRUE(Get(secure->SecureUrl("comics.test", "/down.html")).isEmpty());
    EXPECT_EQ(log.lastError, net::HttpError::Downgrade);
    EXPECT_EQ(client.ResponseReason(), QStringLiteral("the server redirected from https to http"));
    EXPECT_FALSE(plain.AccessLog().contains("GET /page.html"));
}

TEST_F(Https, ThroughTheHttpProxyTunnelAndThroughSocks)
{
    const auto nginx = Server(certs->Good());
    test::TinyproxyServer proxy;
    ASSERT_TRUE(proxy.Start()) << proxy.Error().toStdString();
    client.Proxy = proxy.HostPort();
    EXPECT_EQ(Get(nginx->SecureUrl("comics.test", "/page.html")), kPage);
    EXPECT_EQ(client.CompletionError(), 0);
    EXPECT_TRUE(proxy.WaitForLog(QStringLiteral("CONNECT comics.test:%1").arg(nginx->Port()).toLatin1()))
        << proxy.Log().toStdString();
    // Inside the tunnel the server gets an ordinary request, not a proxy's.
    EXPECT_TRUE(nginx->AccessLog().contains("\"GET /page.html HTTP/1.0\" 200"));

    // A proxy that does not open the tunnel ends the request with its answer.
    test::MisbehavingServer refusing;
    refusing.SetScript(test::MisbehavingServer::Respond("HTTP/1.0 403 Forbidden\r\n\r\n"));
    ASSERT_TRUE(refusing.Start());
    client.Proxy = QStringLiteral("127.0.0.1:%1").arg(refusing.Port());
    EXPECT_TRUE(Get(nginx->SecureUrl("comics.test", "/page.html")).isEmpty());
    EXPECT_EQ(log.lastError, net::HttpError::TunnelRefused);
    EXPECT_EQ(client.ResponseReason(), QStringLiteral("the proxy refused the tunnel (403 Forbidden)"));

    // SOCKS 5 below TLS: dante looks the name up, the certificate is checked against it.
    test::DanteServer dante;
    ASSERT_TRUE(dante.Start()) << dante.Error().toStdString();
    net::TWSocket s;
    s.SetSslContext(&tls);
    QByteArray received;
    bool closed = false;
    s.OnSessionConnected = [&](net::TCustomWSocket* sender, std::uint16_t e) {
        if (e == 0)
            sender->SendString("GET /page.html HTTP/1.0\r\nHost: comics.test\r\n\r\n");
    };
    s.OnDataAvailable = [&](net::TCustomWSocket* sender, std::uint16_t) {
        received += sender->ReceiveString();
    };
    s.OnSessionClosed = [&](net::TCustomWSocket*, std::uint16_t) { closed = true; };
    s.SetSocksServer(QStringLiteral("127.0.0.1"));
    s.SetSocksPort(dante.PortText());
    s.SetAddr(QStringLiteral("comics.test"));
    s.SetPort(QString::number(nginx->Port()));
    s.SetSslEnabled(true);
    s.SetSslHost(QStringLiteral("comics.test"));
    s.Connect();
    ASSERT_TRUE(test::WaitFor([&] { return closed; }, 15000));
    EXPECT_TRUE(received.startsWith("HTTP/1.1 200 OK")) << received.left(200).toStdString();
    EXPECT_TRUE(received.endsWith(kPage));
    EXPECT_TRUE(dante.WaitForLog("tcp/connect"));
}

TEST_F(Https, ANameOfDotsLeavesNothingToCheckAndIsRefused)
{
    const auto nginx = Server(certs->Good());
    for (const QString host : {".", ".."}) {
        SCOPED_TRACE(host.toStdString());
        net::TWSocket s;
        s.SetSslContext(&tls);
        int connected = -1;
        QString why; // the text is read while the connection ends, as the client does
        s.OnSessionConnected = [&](net::TCustomWSocket*, std::uint16_t e) {
            connected = e;
            why = s.SslErrorText();
        };
        s.SetAddr(QStringLiteral("127.0.0.1"));
        s.SetPort(QString::number(nginx->Port()));
        s.SetSslEnabled(true);
        s.SetSslHost(host);
        s.Connect();
        ASSERT_TRUE(test::WaitFor([&] { return connected >= 0; }, 15000));
        EXPECT_EQ(connected, TlsError::HandshakeFailed);
        EXPECT_EQ(why, "the secure connection could not be made (the address names no host to "
                       "check the certificate against)");
    }
}

TEST_F(Https, HandshakesThatDripStopOrAreNoTlsAtAll)
{
    const auto nginx = Server(certs->Good());
    using Script = test::MisbehavingServer::Script;
    test::MisbehavingServer server;
    server.SetScripts({
        Script().Relay(nginx->Port(), 1, 1),                                  // a byte at a time
        test::MisbehavingServer::Respond("HTTP/1.1 400 Bad Request\r\n\r\n"), // plain HTTP
        Script().ReadBytes(20).Close(),                                       // gone mid-hello
    });
    ASSERT_TRUE(server.Start());
    const QString url = QStringLiteral("https://comics.test:%1/page.html").arg(server.Port());

    EXPECT_EQ(Get(url), kPage);
    EXPECT_EQ(client.CompletionError(), 0);

    EXPECT_TRUE(Get(url).isEmpty());
    EXPECT_EQ(log.lastError, TlsError::HandshakeFailed);
    EXPECT_TRUE(
        client.ResponseReason().startsWith(QStringLiteral("the secure connection could not be made (")))
        << client.ResponseReason().toStdString();
    EXPECT_FALSE(client.ResponseReason().contains(QStringLiteral("()")));

    EXPECT_TRUE(Get(url).isEmpty());
    EXPECT_EQ(log.lastError, TlsError::HandshakeFailed);
    EXPECT_EQ(client.ResponseReason(),
              QStringLiteral("the secure connection could not be made (the server closed the connection)"));
}

TEST_F(Https, AHugeCertificateChainIsRefusedUnread)
{
    const auto nginx = Server(certs->HugeChain(10 * 1000 * 1000));
    EXPECT_TRUE(Get(nginx->SecureUrl("comics.test", "/page.html")).isEmpty());
    EXPECT_EQ(log.lastError, TlsError::HandshakeFailed);
    EXPECT_EQ(client.ResponseReason(),
              QStringLiteral("the secure connection could not be made (excessive message size)"));
}

TEST_F(Https, AnAnswerCutOffWithoutTheSecureCloseCountsOnlyWithItsWholeLength)
{
    // ssi drops the Content-Length: the close alone would end that answer.
    const auto nginx = Server(certs->Good(), QStringLiteral("location /nolength/ { ssi on; }"));
    ASSERT_TRUE(nginx->WriteFile("nolength/page.html", kPage));
    test::MisbehavingServer cutting;
    cutting.SetScript(test::MisbehavingServer::Script().RelayWithoutAlerts(nginx->Port()));
    ASSERT_TRUE(cutting.Start());

    EXPECT_EQ(Get(QStringLiteral("https://comics.test:%1/page.html").arg(cutting.Port())), kPage);
    EXPECT_EQ(client.CompletionError(), 0) << client.ResponseReason().toStdString();

    EXPECT_EQ(Get(QStringLiteral("https://comics.test:%1/nolength/page.html").arg(cutting.Port())), kPage);
    EXPECT_EQ(client.ResponseLength(), -1);
    EXPECT_EQ(log.lastError, net::HttpError::IncompleteBody);

    // With the secure close the same answer is whole.
    EXPECT_EQ(Get(nginx->SecureUrl("comics.test", "/nolength/page.html")), kPage);
    EXPECT_EQ(client.CompletionError(), 0);
}
