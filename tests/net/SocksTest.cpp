// The SOCKS layer against a scripted proxy: the bytes it sends, every error reply, and
// replies cut, split or followed by data; and the plain socket when SOCKS is off.
#include "MisbehavingServer.h"
#include "RaisedText.h"
#include "SocketTestPeer.h"
#include "SocksEventLog.h"
#include "TestPaths.h"
#include "net/TWSocket.h"

#include <gtest/gtest.h>

using namespace pw::net;
using namespace pw::test;
using Script = MisbehavingServer::Script;

namespace {

const QByteArray kGreeting("\x05\x01\x00", 3);
const QByteArray kGreetingWithUser("\x05\x01\x02", 3);
const QByteArray kMethodNone("\x05\x00", 2);

// A SOCKS 5 success reply with an IPv4 bound address.
QByteArray Socks5Success()
{
    return QByteArray("\x05\x00\x00\x01\x7f\x00\x00\x01\x04\x38", 10);
}

// A SOCKS 4 reply with this code (90 is success).
QByteArray Socks4Reply(int code)
{
    QByteArray r("\x00\x00\x00\x50\x7f\x00\x00\x01", 8);
    r[1] = static_cast<char>(code);
    return r;
}

QByteArray Port(quint16 port)
{
    return QByteArray(1, static_cast<char>(port >> 8)) + QByteArray(1, static_cast<char>(port & 0xFF));
}

// The SOCKS 5 connect request for 127.0.0.1:8080, by name as always.
QByteArray Socks5Request()
{
    return QByteArray("\x05\x01\x00\x03\x09", 5) + "127.0.0.1" + Port(8080);
}

void UseCredentials(TWSocket& s, const QString& user, const QString& password)
{
    s.SetSocksUsercode(user);
    s.SetSocksPassword(password);
    s.SetSocksAuthentication(socksAuthenticateUsercode);
}

void ConnectThrough(TWSocket& s, const MisbehavingServer& proxy, const QString& level,
                    const QString& addr = QStringLiteral("127.0.0.1"))
{
    s.SetSocksServer(QStringLiteral("127.0.0.1"));
    s.SetSocksPort(QString::number(proxy.Port()));
    s.SetSocksLevel(level);
    s.SetAddr(addr);
    s.SetPort(QStringLiteral("8080"));
    s.Connect();
}

} // namespace

TEST(Socks, DefaultSocketSendsNoSocksBytesAndLeavesLineEndsAlone)
{
    PeerListener listener;
    TWSocket s;
    SocksEventLog log(s);
    s.SetAddr(QStringLiteral("127.0.0.1"));
    s.SetPort(listener.PortText());
    s.Connect();
    const int peer = listener.Accept();
    ASSERT_TRUE(WaitFor([&] { return s.State() == wsConnected; }));
    s.SendString("plain\r\n");
    EXPECT_EQ(ReadPeer(peer, 7), QByteArray("plain\r\n")); // nothing in front of it
    ASSERT_TRUE(SendAll(peer, "a\r\nb\r\nc"));
    ASSERT_TRUE(WaitFor([&] { return log.received.size() == 7; }));
    RunLoopFor(30);
    EXPECT_EQ(log.events, QStringList({"connected 0", "data a%0D%0Ab%0D%0Ac"}));
    ::close(peer);
}

TEST(Socks, Socks5CarriesDataBothWaysAndDataGluedToTheReplyComesAfterTheConnect)
{
    MisbehavingServer proxy;
    proxy.SetScript(
        Script().ReadBytes(3).Send(kMethodNone).ReadBytes(16).Send(Socks5Success() + "early").Echo());
    ASSERT_TRUE(proxy.Start());
    TWSocket s;
    SocksEventLog log(s);
    log.ReadSize = 2; // the glued data takes three reads from the layer's own buffer
    int dataSent = 0;
    s.OnDataSent = [&](TCustomWSocket*, std::uint16_t) { ++dataSent; };
    ConnectThrough(s, proxy, QStringLiteral("5"));
    ASSERT_TRUE(WaitFor([&] { return log.received == "early"; })) << log.Text().toStdString();
    EXPECT_EQ(log.events, QStringList({"socksconnected 0", "connected 0", "data ea", "data rl", "data y"}));
    EXPECT_EQ(proxy.Request(0), kGreeting + Socks5Request());
    EXPECT_EQ(dataSent, 0); // the negotiation's own writes are not the user's

    s.SendString("ping");
    ASSERT_TRUE(WaitFor([&] { return log.received == "earlyping"; }));
    EXPECT_EQ(dataSent, 1);
    s.Close();
    EXPECT_EQ(log.events.last(), QStringLiteral("closed 0"));
    EXPECT_TRUE(s.SocksServer().isEmpty()); // a close forgets the proxy
}

TEST(Socks, Socks5UserPasswordIsSentOnlyWhenOffered)
{
    const QByteArray auth = QByteArray("\x01\x06", 2) + "reader" + "\x07" + "pa:ss w";
    MisbehavingServer proxy;
    proxy.SetScript(Script()
                        .ReadBytes(3)
                        .Send(QByteArray("\x05\x02", 2))
                        .ReadBytes(static_cast<int>(auth.size()))
                        .Send(QByteArray("\x01\x00", 2))
                        .ReadBytes(16)
                        .Send(Socks5Success())
                        .HoldOpen());
    ASSERT_TRUE(proxy.Start());
    TWSocket s;
    SocksEventLog log(s);
    UseCredentials(s, QStringLiteral("reader"), QStringLiteral("pa:ss w"));
    ConnectThrough(s, proxy, QStringLiteral("5"));
    ASSERT_TRUE(WaitFor([&] { return log.Has(QStringLiteral("connected")); })) << log.Text().toStdString();
    EXPECT_EQ(log.events, QStringList({"socksconnected 0", "auth 0", "auth 1", "connected 0"}));
    EXPECT_EQ(proxy.Request(0), kGreetingWithUser + auth + Socks5Request());
    s.Close();

    // Without the offer, a proxy asking for a password gets none.
    proxy.SetScript(Script().ReadBytes(3).Send(QByteArray("\x05\x02", 2)).HoldOpen());
    TWSocket plain;
    SocksEventLog plainLog(plain);
    plain.SetSocksUsercode(QStringLiteral("reader"));
    plain.SetSocksPassword(QStringLiteral("pa:ss w"));
    ConnectThrough(plain, proxy, QStringLiteral("5"));
    ASSERT_TRUE(WaitFor([&] { return plain.State() == wsClosed; }));
    EXPECT_EQ(plainLog.events,
              QStringList({"socksconnected 0", "sockserror 20003 authentification method not acceptable",
                           "connected 20003", "closed 20003"}));
    EXPECT_EQ(proxy.Request(1), kGreeting);

    // Offered, but the proxy needs none.
    proxy.SetScript(Script().ReadBytes(3).Send(kMethodNone).ReadBytes(16).Send(Socks5Success()).HoldOpen());
    TWSocket free;
    SocksEventLog freeLog(free);
    UseCredentials(free, QStringLiteral("reader"), QStringLiteral("pa:ss w"));
    ConnectThrough(free, proxy, QStringLiteral("5"));
    ASSERT_TRUE(WaitFor([&] { return freeLog.Has(QStringLiteral("connected")); }));
    EXPECT_EQ(freeLog.events, QStringList({"socksconnected 0", "auth 3", "connected 0"}));
    EXPECT_EQ(proxy.Request(2), kGreetingWithUser + Socks5Request());
}

TEST(Socks, Socks4SendsTheAddressAnd4AtheHostName)
{
    struct Case {
        QString level;
        QString addr;
        QByteArray request;
    };
    const QList<Case> cases = {
        {"4", "127.0.0.1",
         QByteArray("\x04\x01", 2) + Port(8080) + QByteArray("\x7f\0\0\x01", 4) + "id" + '\0'},
        {"4a", "comics.example",
         QByteArray("\x04\x01", 2) + Port(8080) + QByteArray("\0\0\0\x01", 4) + "id" + '\0' +
             "comics.example" + '\0'},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.level.toStdString());
        MisbehavingServer proxy;
        proxy.SetScript(Script()
                            .ReadBytes(static_cast<int>(c.request.size()))
                            .Send(Socks4Reply(90) + "hello\r\nwor")
                            .Send("ld")
                            .Echo());
        ASSERT_TRUE(proxy.Start());
        TWSocket s;
        SocksEventLog log(s);
        s.SetLineMode(true); // lines cut from the data that came with the reply too
        s.SetSocksUsercode(QStringLiteral("id"));
        ConnectThrough(s, proxy, c.level, c.addr);
        EXPECT_EQ(s.SocksLevel(), c.level.toUpper());
        ASSERT_TRUE(WaitFor([&] { return log.received == "hello\r\n"; })) << log.Text().toStdString();
        s.SendString("!\r\n");
        ASSERT_TRUE(WaitFor([&] { return log.received == "hello\r\nworld!\r\n"; }))
            << log.Text().toStdString();
        EXPECT_EQ(log.events, QStringList({"socksconnected 0", "connected 0", "data hello%0D%0A",
                                           "data world%21%0D%0A"}));
        EXPECT_EQ(proxy.Request(0), c.request);
    }
}

TEST(Socks, EveryErrorReplyIsReportedWithItsCodeAndText)
{
    struct Case {
        QString level;
        QByteArray method; // SOCKS 5: the method choice; the reply follows our request
        QByteArray reply;
        int code;
        QString msg;
    };
    const QByteArray ok = kMethodNone;
    const auto s5 = [](int status) { return QByteArray("\x05", 1) + char(status) + QByteArray("\0\x01", 2); };
    const QList<Case> cases = {
        {"5", QByteArray("\x04\x00", 2), {}, 20002, "socks version error"},
        {"5", QByteArray("\x05\xff", 2), {}, 20003, "authentification method not acceptable"},
        {"5", ok, QByteArray("\x00\x00", 2), 20002, "socks version error"},
        {"5", ok, s5(1), 20004, "general SOCKS server failure"},
        {"5", ok, s5(2), 20005, "connection not allowed by ruleset"},
        {"5", ok, s5(3), 20006, "network unreachable"},
        {"5", ok, s5(4), 20007, "host unreachable"},
        {"5", ok, s5(5), 20008, "connection refused"},
        {"5", ok, s5(6), 20009, "time to live expired"},
        {"5", ok, s5(7), 20010, "command not supported"},
        {"5", ok, s5(8), 20011, "address type not supported"},
        {"5", ok, s5(9), 20012, "unassigned error #9"},
        {"5", ok, QByteArray("\x05\x00\x00\x07\x00", 5), 20011, "address type not supported"},
        {"4", {}, Socks4Reply(91), 20016, "request rejected or failed"},
        {"4", {}, Socks4Reply(92), 20008, "connection refused"},
        {"4", {}, Socks4Reply(93), 20015, "authentification failed"},
        {"4", {}, Socks4Reply(94), 20012, "unassigned error #94"},
        {"4", {}, QByteArray("\x04\x5a", 2), 20002, "socks version error"},
    };
    MisbehavingServer proxy;
    ASSERT_TRUE(proxy.Start());
    for (const Case& c : cases) {
        SCOPED_TRACE((c.level + QLatin1Char(' ') + c.msg).toStdString());
        Script script;
        if (c.level == QLatin1String("5"))
            script.ReadBytes(3).Send(c.method);
        if (!c.reply.isEmpty())
            script.ReadBytes(c.level == QLatin1String("5") ? 16 : 9).Send(c.reply);
        proxy.SetScript(script.HoldOpen());
        TWSocket s;
        SocksEventLog log(s);
        ConnectThrough(s, proxy, c.level);
        ASSERT_TRUE(WaitFor([&] { return s.State() == wsClosed; })) << log.Text().toStdString();
        const QString code = QString::number(c.code);
        EXPECT_EQ(log.events, QStringList({"socksconnected 0", "sockserror " + code + ' ' + c.msg,
                                           "connected " + code, "closed " + code}));
    }
}

TEST(Socks, FailedAuthenticationTellsTheAuthStateBeforeTheClose)
{
    MisbehavingServer proxy;
    proxy.SetScript(Script()
                        .ReadBytes(3)
                        .Send(QByteArray("\x05\x02", 2))
                        .ReadBytes(5)
                        .Send(QByteArray("\x01\x01", 2))
                        .HoldOpen());
    ASSERT_TRUE(proxy.Start());
    TWSocket s;
    SocksEventLog log(s);
    UseCredentials(s, QStringLiteral("u"), QStringLiteral("p"));
    ConnectThrough(s, proxy, QStringLiteral("5"));
    ASSERT_TRUE(WaitFor([&] { return s.State() == wsClosed; }));
    EXPECT_EQ(log.events,
              QStringList({"socksconnected 0", "auth 0", "sockserror 20015 socks authentication failed",
                           "connected 20015", "auth 2", "closed 20015"}));
}

TEST(Socks, Socks4HostNameThatDoesNotResolveClosesWithoutAConnect)
{
    MisbehavingServer proxy;
    proxy.SetScript(Script().HoldOpen());
    ASSERT_TRUE(proxy.Start());
    TWSocket s;
    SocksEventLog log(s);
    ConnectThrough(s, proxy, QStringLiteral("4"), QStringLiteral("bad..name")); // refused without asking DNS
    ASSERT_TRUE(WaitFor([&] { return s.State() == wsClosed; }));
    ASSERT_EQ(log.events.size(), 3) << log.Text().toStdString();
    EXPECT_EQ(log.events[0], "socksconnected 0");
    EXPECT_TRUE(log.events[1].startsWith("sockserror 20017 ESocketException ")) << log.Text().toStdString();
    EXPECT_EQ(log.events[2], "closed 20017");
    EXPECT_TRUE(proxy.Request(0).isEmpty());
}

TEST(Socks, RepliesCutShortSplitOrSilentNeverPassForAConnection)
{
    MisbehavingServer proxy;
    ASSERT_TRUE(proxy.Start());
    {
        // Byte by byte: one connect, then the data behind the reply.
        proxy.SetScript(Script()
                            .ReadBytes(3)
                            .SendSlowly(kMethodNone, 2)
                            .ReadBytes(16)
                            .SendSlowly(Socks5Success() + "tail", 2));
        TWSocket s;
        SocksEventLog log(s);
        ConnectThrough(s, proxy, QStringLiteral("5"));
        ASSERT_TRUE(WaitFor([&] { return s.State() == wsClosed; })) << log.Text().toStdString();
        EXPECT_EQ(log.events.first(2), QStringList({"socksconnected 0", "connected 0"}));
        EXPECT_EQ(log.received, "tail");
        EXPECT_EQ(log.events.last(), "closed 0");
    }
    {
        // Half a reply, then the proxy hangs up.
        proxy.SetScript(Script().ReadBytes(3).Send(kMethodNone).ReadBytes(16).Send(Socks5Success().left(6)));
        TWSocket s;
        SocksEventLog log(s);
        ConnectThrough(s, proxy, QStringLiteral("5"));
        ASSERT_TRUE(WaitFor([&] { return s.State() == wsClosed; }));
        EXPECT_EQ(log.events,
                  QStringList({"socksconnected 0", "sockserror 20001 socks server closed the connection",
                               "connected 20001", "closed 20001"}));
    }
    {
        // Bytes the proxy may not send before our next request.
        proxy.SetScript(Script().ReadBytes(3).Send(kMethodNone + "xx").HoldOpen());
        TWSocket s;
        SocksEventLog log(s);
        ConnectThrough(s, proxy, QStringLiteral("5"));
        ASSERT_TRUE(WaitFor([&] { return s.State() == wsClosed; }));
        EXPECT_TRUE(log.events.contains("sockserror 20001 too much data availaible"))
            << log.Text().toStdString();
    }
    {
        // No reply at all: the socket waits without blocking anything, and can be closed.
        proxy.SetScript(Script().ReadBytes(3).HoldOpen());
        TWSocket s;
        SocksEventLog log(s);
        ConnectThrough(s, proxy, QStringLiteral("5"));
        ASSERT_TRUE(WaitFor([&] { return log.Has(QStringLiteral("socksconnected")); }));
        bool ticked = false;
        QTimer::singleShot(200, [&] { ticked = true; });
        ASSERT_TRUE(WaitFor([&] { return ticked; }));
        EXPECT_EQ(log.events, QStringList({"socksconnected 0"}));
        EXPECT_EQ(s.State(), wsConnected);
        s.Close();
        EXPECT_EQ(log.events, QStringList({"socksconnected 0", "closed 0"}));
    }
}

TEST(Socks, SettingsAreCheckedAndTheProxyIsForgottenAtClose)
{
    TWSocket s;
    s.SetSocksLevel(QStringLiteral("4a"));
    EXPECT_EQ(s.SocksLevel(), QStringLiteral("4A"));
    EXPECT_EQ(RaisedText([&] { s.SetSocksLevel(QStringLiteral("6")); }),
              QStringLiteral("Invalid socks level. Must be 4, 4A or 5."));
    EXPECT_EQ(s.SocksLevel(), QStringLiteral("4A"));

    s.SetSocksServer(QStringLiteral(" 127.0.0.1 "));
    s.SetSocksPort(QStringLiteral("1080"));
    s.SetProto(QStringLiteral("udp"));
    s.SetAddr(QStringLiteral("127.0.0.1"));
    s.SetPort(QStringLiteral("80"));
    EXPECT_EQ(RaisedText([&] { s.Connect(); }),
              QStringLiteral("tcp is the only protocol supported thru socks server"));
    EXPECT_EQ(RaisedText([&] { s.Listen(); }),
              QStringLiteral("Listening is not supported thru socks server"));
    EXPECT_EQ(s.SocksServer(), QStringLiteral("127.0.0.1"));

    // Lengths the requests carry in one byte are refused before anything is sent.
    MisbehavingServer proxy;
    proxy.SetScript(Script().HoldOpen());
    ASSERT_TRUE(proxy.Start());
    TWSocket t;
    t.SetSocksUsercode(QString(256, QLatin1Char('u')));
    const QString tooLong = QStringLiteral("socks user code, password or host name longer than 255 bytes");
    EXPECT_EQ(RaisedText([&] { ConnectThrough(t, proxy, QStringLiteral("5")); }), tooLong);
    t.SetSocksUsercode(QStringLiteral("u"));
    t.SetSocksPassword(QString(256, QLatin1Char('p')));
    t.SetSocksAuthentication(socksAuthenticateUsercode);
    EXPECT_EQ(RaisedText([&] { ConnectThrough(t, proxy, QStringLiteral("5")); }), tooLong);
    t.SetSocksPassword(QStringLiteral("p"));
    EXPECT_EQ(
        RaisedText([&] { ConnectThrough(t, proxy, QStringLiteral("4A"), QString(256, QLatin1Char('h'))); }),
        tooLong);
    RunLoopFor(50);
    EXPECT_EQ(proxy.Connections(), 0);
    EXPECT_EQ(t.State(), wsClosed);

    // A connection: settings are locked, and its close forgets proxy and level only.
    ConnectThrough(t, proxy, QStringLiteral("4"));
    ASSERT_TRUE(WaitFor([&] { return t.State() == wsConnected; }));
    EXPECT_EQ(RaisedText([&] { t.SetSocksServer(QStringLiteral("x")); }),
              QStringLiteral("Can't change socks server if not closed"));
    EXPECT_EQ(RaisedText([&] { t.SetSocksPort(QStringLiteral("1")); }),
              QStringLiteral("Can't change socks port if not closed"));
    EXPECT_EQ(RaisedText([&] { t.SetSocksLevel(QStringLiteral("5")); }),
              QStringLiteral("Can't change socks level if not closed"));
    t.Close();
    EXPECT_TRUE(t.SocksServer().isEmpty());
    EXPECT_TRUE(t.SocksPort().isEmpty());
    EXPECT_EQ(t.SocksLevel(), QStringLiteral("5"));
    EXPECT_EQ(t.SocksUsercode(), QStringLiteral("u"));
    EXPECT_EQ(t.SocksPassword(), QStringLiteral("p"));
    EXPECT_EQ(t.SocksAuthentication(), socksAuthenticateUsercode);
}
