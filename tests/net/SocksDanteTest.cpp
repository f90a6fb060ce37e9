// Through a real SOCKS proxy (dante) to a real web server (nginx).
#include "DanteServer.h"
#include "NginxServer.h"
#include "SocksEventLog.h"
#include "TestPaths.h"
#include "net/TWSocket.h"

#include <gtest/gtest.h>

using namespace pw::net;
using namespace pw::test;

namespace {

const QByteArray kPage = "<html><body>strip of the day</body></html>\n";

class ThroughDante : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        nginx = new NginxServer();
        ASSERT_TRUE(nginx->WriteFile("page.html", kPage));
        ASSERT_TRUE(nginx->Start()) << nginx->Error().toStdString();
    }
    static void TearDownTestSuite()
    {
        delete nginx;
        nginx = nullptr;
    }

    // One HTTP/1.0 GET through the proxy; the whole response (empty when it failed).
    QByteArray Fetch(TWSocket& s, SocksEventLog& log, const DanteServer& dante, const QString& level,
                     const QString& host)
    {
        s.OnSessionConnected = [&, inner = s.OnSessionConnected](TCustomWSocket* sender, std::uint16_t e) {
            inner(sender, e);
            if (e == 0)
                sender->SendString("GET /page.html HTTP/1.0\r\nHost: " + host.toLatin1() + "\r\n\r\n");
        };
        s.SetSocksServer(QStringLiteral("127.0.0.1"));
        s.SetSocksPort(dante.PortText());
        s.SetSocksLevel(level);
        s.SetAddr(host);
        s.SetPort(QString::number(nginx->Port()));
        s.Connect();
        EXPECT_TRUE(WaitFor([&] { return s.State() == wsClosed; }, 10000)) << log.Text().toStdString();
        return log.received;
    }

    static NginxServer* nginx;
};

NginxServer* ThroughDante::nginx = nullptr;

} // namespace

TEST_F(ThroughDante, Socks5ByHostNameAndSocks4ByAddressFetchAPage)
{
    DanteServer dante;
    ASSERT_TRUE(dante.Start()) << dante.Error().toStdString();
    struct Case {
        QString level;
        QString host;
    };
    for (const Case& c : {Case{"5", "localhost"}, Case{"4", "127.0.0.1"}}) {
        SCOPED_TRACE(c.level.toStdString());
        TWSocket s;
        SocksEventLog log(s);
        const QByteArray response = Fetch(s, log, dante, c.level, c.host);
        EXPECT_TRUE(response.startsWith("HTTP/1.1 200 OK\r\n")) << response.left(200).toStdString();
        EXPECT_TRUE(response.endsWith(kPage));
        EXPECT_EQ(log.events.first(2), QStringList({"socksconnected 0", "connected 0"}));
    }
    // dante carried both, to nginx's port.
    EXPECT_TRUE(dante.WaitForLog("127.0.0.1." + QByteArray::number(nginx->Port())));
}

TEST_F(ThroughDante, Socks5UserPasswordIsCheckedByTheProxy)
{
    DanteServer dante({.User = QStringLiteral("pwreader"), .Password = QStringLiteral("s3cret pass")});
    ASSERT_TRUE(dante.Start()) << dante.Error().toStdString();
    {
        TWSocket s;
        SocksEventLog log(s);
        s.SetSocksUsercode(QStringLiteral("pwreader"));
        s.SetSocksPassword(QStringLiteral("s3cret pass"));
        s.SetSocksAuthentication(socksAuthenticateUsercode);
        const QByteArray response = Fetch(s, log, dante, QStringLiteral("5"), QStringLiteral("127.0.0.1"));
        EXPECT_TRUE(response.endsWith(kPage)) << log.Text().toStdString();
        EXPECT_EQ(log.events.first(4), QStringList({"socksconnected 0", "auth 0", "auth 1", "connected 0"}));
    }
    {
        TWSocket s;
        SocksEventLog log(s);
        s.SetSocksUsercode(QStringLiteral("pwreader"));
        s.SetSocksPassword(QStringLiteral("wrong"));
        s.SetSocksAuthentication(socksAuthenticateUsercode);
        EXPECT_TRUE(Fetch(s, log, dante, QStringLiteral("5"), QStringLiteral("127.0.0.1")).isEmpty());
        EXPECT_EQ(log.events,
                  QStringList({"socksconnected 0", "auth 0", "sockserror 20015 socks authentication failed",
                               "connected 20015", "auth 2", "closed 20015"}));
    }
}
