#include "RaisedText.h"
#include "SocketTestPeer.h"
#include "TestPaths.h"
#include "net/THttpCli.h"
#include "net/TWSocket.h"
#include "platform/MessageTarget.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <memory>
#include <stdexcept>

using namespace pw::net;
using namespace pw::test;

namespace {

QString StateName(TSocketState s)
{
    static const char* names[] = {"Invalid",   "Opened",    "Bound",     "Connecting",
                                  "Connected", "Accepting", "Listening", "Closed"};
    return QString::fromLatin1(names[s]);
}

// Records every event of a socket as text, in order.
struct EventLog {
    QStringList events;
    QByteArray received;

    explicit EventLog(TWSocket& s, bool readData = true)
    {
        s.OnChangeState = [this](TCustomWSocket*, TSocketState o, TSocketState n) {
            events << QStringLiteral("state %1>%2").arg(StateName(o), StateName(n));
        };
        s.OnSessionConnected = [this](TCustomWSocket*, std::uint16_t e) {
            events << QStringLiteral("connected %1").arg(e);
        };
        s.OnSessionClosed = [this](TCustomWSocket*, std::uint16_t e) {
            events << QStringLiteral("closed %1").arg(e);
        };
        s.OnDataSent = [this](TCustomWSocket*, std::uint16_t e) {
            events << QStringLiteral("sent %1").arg(e);
        };
        s.OnSendData = [this](TCustomWSocket*, int n) { events << QStringLiteral("senddata %1").arg(n); };
        if (readData)
            s.OnDataAvailable = [this](TCustomWSocket* sender, std::uint16_t e) {
                char buf[65536];
                const int n = sender->Receive(buf, sizeof buf);
                if (n > 0)
                    received.append(buf, n);
                events << QStringLiteral("data %1 %2").arg(e).arg(n);
            };
    }
    int Count(const QString& prefix) const
    {
        int n = 0;
        for (const QString& e : events)
            n += e.startsWith(prefix) ? 1 : 0;
        return n;
    }
};

void ConnectTo(TWSocket& s, const QString& port)
{
    s.SetAddr(QStringLiteral("127.0.0.1"));
    s.SetPort(port);
    s.SetProto(QStringLiteral("tcp"));
    s.Connect();
}

} // namespace

TEST(Socket, RefusedConnectionEventOrder)
{
    TWSocket s;
    EventLog log(s);
    ConnectTo(s, QString::number(RefusingPort()));
    EXPECT_EQ(s.State(), wsConnecting);
    ASSERT_TRUE(WaitFor([&] { return log.Count(QStringLiteral("closed")) > 0; }));
    RunLoopFor(50);
    EXPECT_EQ(log.events,
              QStringList({"state Closed>Opened", "state Opened>Connecting", "state Connecting>Connected",
                           "connected 10061", "state Connected>Closed", "closed 0"}));
    EXPECT_EQ(s.State(), wsClosed);
    EXPECT_EQ(s.HSocket(), INVALID_SOCKET);
}

TEST(Socket, SendQueuesBlocksAndReportsDataSentFromTheLoop)
{
    PeerListener listener;
    TWSocket s;
    EventLog log(s);
    ConnectTo(s, listener.PortText());
    const int peer = listener.Accept();
    ASSERT_GE(peer, 0);
    ASSERT_TRUE(WaitFor([&] { return s.State() == wsConnected && log.Count(QStringLiteral("sent")) == 1; }));
    EXPECT_EQ(s.PeerAddr(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(s.PeerPort(), listener.PortText());
    log.events.clear(); // a fresh connection reports that it can take data once

    QByteArray data(3000, '\0');
    for (int i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i * 7);
    EXPECT_EQ(s.Send(data.constData(), static_cast<int>(data.size())), 3000);
    EXPECT_EQ(log.events, QStringList({"senddata 1514", "senddata 1486"}));
    ASSERT_TRUE(WaitFor([&] { return log.Count(QStringLiteral("sent")) == 1; }));
    EXPECT_EQ(log.events, QStringList({"senddata 1514", "senddata 1486", "sent 0"}));
    EXPECT_EQ(ReadPeer(peer, 3000), data);

    // The emptied last block is reused: a second small send goes out whole.
    log.events.clear();
    EXPECT_EQ(s.SendString("abc"), 3);
    ASSERT_TRUE(WaitFor([&] { return log.Count(QStringLiteral("sent")) == 1; }));
    EXPECT_EQ(log.events, QStringList({"senddata 3", "sent 0"}));
    EXPECT_EQ(ReadPeer(peer, 3), QByteArray("abc"));

    // Nothing to send is no send at all, and Flush has nothing to wait for.
    log.events.clear();
    EXPECT_EQ(s.Send("", 0), 0);
    s.Flush();
    RunLoopFor(50);
    EXPECT_TRUE(log.events.isEmpty());
    ::close(peer);
}

TEST(Socket, LargeSendToASlowReaderArrivesWholeAndInOrder)
{
    PeerListener listener;
    TWSocket s;
    EventLog log(s);
    ConnectTo(s, listener.PortText());
    const int peer = listener.Accept();
    ASSERT_GE(peer, 0);
    ASSERT_TRUE(WaitFor([&] { return log.Count(QStringLiteral("sent")) == 1; }));
    log.events.clear();

    QByteArray data(8 * 1024 * 1024, '\0');
    for (int i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>((i * 31) ^ (i >> 11));
    qint64 reported = 0;
    s.OnSendData = [&](TCustomWSocket*, int n) { reported += n; };
    EXPECT_EQ(s.Send(data.constData(), static_cast<int>(data.size())), data.size());
    EXPECT_LT(reported, data.size()); // the kernel cannot take 8 MB at once: the rest stays queued
    EXPECT_EQ(log.Count(QStringLiteral("sent")), 0);

    const QByteArray got = ReadPeer(peer, data.size(), 30000);
    ASSERT_EQ(got.size(), data.size());
    EXPECT_TRUE(got == data);
    ASSERT_TRUE(WaitFor([&] { return log.Count(QStringLiteral("sent")) == 1; }));
    EXPECT_EQ(reported, data.size());
    RunLoopFor(50);
    EXPECT_EQ(log.Count(QStringLiteral("sent")), 1);
    ::close(peer);
}

TEST(Socket, RemoteCloseDeliversDataThenClosesOnce)
{
    PeerListener listener;
    TWSocket s;
    EventLog log(s);
    ConnectTo(s, listener.PortText());
    const int peer = listener.Accept();
    ASSERT_TRUE(WaitFor([&] { return s.State() == wsConnected; }));
    ASSERT_TRUE(SendAll(peer, QByteArray(100000, 'x') + "end"));
    ::close(peer);
    ASSERT_TRUE(WaitFor([&] { return s.State() == wsClosed; }));
    RunLoopFor(50);
    EXPECT_EQ(log.received, QByteArray(100000, 'x') + "end");
    EXPECT_EQ(log.Count(QStringLiteral("closed")), 1);
    ASSERT_GE(log.events.size(), 3);
    const QStringList tail = log.events.mid(log.events.size() - 3);
    EXPECT_EQ(tail, QStringList({"data 0 0", "closed 0", "state Connected>Closed"}));
    EXPECT_EQ(s.ReadCount(), 0); // reset with the rest after the close
}

TEST(Socket, PeerResetClosesWithTheResetError)
{
    PeerListener listener;
    TWSocket s;
    EventLog log(s);
    ConnectTo(s, listener.PortText());
    const int peer = listener.Accept();
    ASSERT_TRUE(WaitFor([&] { return s.State() == wsConnected; }));
    ResetAndClose(peer);
    ASSERT_TRUE(WaitFor([&] { return s.State() == wsClosed; }));
    EXPECT_EQ(log.Count(QStringLiteral("closed")), 1);
    EXPECT_TRUE(log.events.contains(QStringLiteral("closed 10054")))
        << log.events.join(QLatin1Char('|')).toStdString();
}

TEST(Socket, DataWithoutHandlerIsDrainedAndTheCloseStillReported)
{
    PeerListener listener;
    TWSocket s;
    EventLog log(s, false);
    ConnectTo(s, listener.PortText());
    const int peer = listener.Accept();
    ASSERT_TRUE(WaitFor([&] { return s.State() == wsConnected; }));
    ASSERT_TRUE(SendAll(peer, QByteArray(50000, 'y')));
    ::close(peer);
    ASSERT_TRUE(WaitFor([&] { return s.State() == wsClosed; }));
    EXPECT_EQ(log.Count(QStringLiteral("closed 0")), 1);
}

TEST(Socket, PropertiesAreGuardedWhileConnected)
{
    PeerListener listener;
    TWSocket s;
    ConnectTo(s, listener.PortText());
    const int peer = listener.Accept();
    ASSERT_TRUE(WaitFor([&] { return s.State() == wsConnected; }));

    s.SetAddr(QStringLiteral(" 127.0.0.1 ")); // the same value is accepted silently
    s.SetPort(listener.PortText());
    s.SetProto(QStringLiteral("tcp"));
    EXPECT_EQ(RaisedText([&] { s.SetAddr(QStringLiteral("127.0.0.2")); }),
              QStringLiteral("Cannot change Addr if not closed"));
    EXPECT_EQ(RaisedText([&] { s.SetPort(QStringLiteral("81")); }),
              QStringLiteral("Cannot change Port if not closed"));
    EXPECT_EQ(RaisedText([&] { s.SetProto(QStringLiteral("udp")); }),
              QStringLiteral("Cannot change Proto if not closed"));
    EXPECT_EQ(RaisedText([&] { s.SetLocalPort(QStringLiteral("0")); }),
              QStringLiteral("Cannot change LocalPort if not closed"));
    EXPECT_EQ(RaisedText([&] { s.SetLocalAddr(QStringLiteral("0.0.0.0")); }),
              QStringLiteral("Cannot change LocalAddr if not closed"));
    EXPECT_EQ(RaisedText([&] { s.Connect(); }), QStringLiteral("Connect: Socket already in use"));
    EXPECT_EQ(s.Addr(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(s.State(), wsConnected);

    int errors = 0;
    s.OnError = [&](TCustomWSocket*) { ++errors; };
    s.SetAddr(QStringLiteral("10.0.0.1"));
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(s.Addr(), QStringLiteral("127.0.0.1"));
    s.OnError = nullptr;

    s.Close();
    EXPECT_EQ(s.State(), wsClosed);
    EXPECT_EQ(s.PeerAddr(), QStringLiteral("error"));
    EXPECT_EQ(s.PeerPort(), QStringLiteral("error"));
    // The texts survive the close, but each new connect needs them set again.
    EXPECT_EQ(s.Addr(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(RaisedText([&] { s.Connect(); }), QStringLiteral("Connect: No Port Specified"));
    s.SetPort(listener.PortText());
    EXPECT_EQ(RaisedText([&] { s.Connect(); }), QStringLiteral("Connect: No IP Address Specified"));
    s.SetAddr(QStringLiteral("127.0.0.1"));
    s.SetProto(QString());
    EXPECT_EQ(RaisedText([&] { s.Connect(); }), QStringLiteral("Connect: No Protocol Specified"));
    s.SetProto(QStringLiteral("tcp"));
    s.SetPort(QStringLiteral("nosuchservice"));
    EXPECT_EQ(
        RaisedText([&] { s.Connect(); }),
        QStringLiteral("connect: WSocketResolvePort: Cannot convert port 'nosuchservice', Error #11004"));
    EXPECT_EQ(s.State(), wsClosed);

    EXPECT_EQ(RaisedText([&] { s.SetLocalAddr(QStringLiteral("1.2.3.x")); }),
              QStringLiteral("SetLocalAddr(): Invalid IP address"));
    s.SetLocalAddr(QStringLiteral(" 127.1 "));
    EXPECT_EQ(s.LocalAddr(), QStringLiteral("127.0.0.1"));
    s.SetLocalAddr(QString());
    EXPECT_EQ(s.LocalAddr(), QStringLiteral("0.0.0.0"));
    EXPECT_EQ(RaisedText([&] { s.SetSendFlags(static_cast<TSocketSendFlags>(5)); }),
              QStringLiteral("Invalid SendFlags"));
    s.SetSendFlags(wsSendUrgent);
    EXPECT_EQ(s.SendFlags(), wsSendUrgent);
    ::close(peer);
}

TEST(Socket, SendWhenNotConnectedFails)
{
    TWSocket s;
    EventLog log(s);
    EXPECT_EQ(RaisedText([&] { s.Send("x", 1); }),
              QStringLiteral("Error 10057 in function Send\r\nSocket is not connected"));
    EXPECT_EQ(s.LastError(), 10057);
    EXPECT_EQ(s.State(), wsClosed);
    int errors = 0;
    s.OnError = [&](TCustomWSocket*) { ++errors; };
    EXPECT_EQ(s.Send("x", 1), -1);
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(log.Count(QStringLiteral("closed")), 0);
}

TEST(Socket, ThrowingDataHandlerDoesNotSpin)
{
    PeerListener listener;
    TWSocket s;
    ConnectTo(s, listener.PortText());
    const int peer = listener.Accept();
    ASSERT_TRUE(WaitFor([&] { return s.State() == wsConnected; }));

    int calls = 0;
    s.OnDataAvailable = [&](TCustomWSocket*, std::uint16_t) {
        ++calls;
        throw std::runtime_error("handler failed");
    };
    ASSERT_TRUE(SendAll(peer, "pending data"));
    ASSERT_TRUE(WaitFor([&] { return calls > 0; }));
    const double cpuBefore = ProcessCpuSeconds();
    RunLoopFor(500);
    const double cpu = ProcessCpuSeconds() - cpuBefore;
    EXPECT_EQ(calls, 1); // no read, so no new notification
    EXPECT_LT(cpu, 0.25) << "the event loop kept waking up for the unread data";
    EXPECT_EQ(s.State(), wsConnected);

    // The next read re-arms the notification.
    char buf[4];
    EXPECT_EQ(s.Receive(buf, sizeof buf), 4);
    ASSERT_TRUE(WaitFor([&] { return calls == 2; }));

    // A handler that returns without reading is not called again and again either.
    calls = 0;
    s.OnDataAvailable = [&](TCustomWSocket*, std::uint16_t) { ++calls; };
    EXPECT_EQ(s.Receive(buf, sizeof buf), 4);
    ASSERT_TRUE(WaitFor([&] { return calls > 0; }));
    RunLoopFor(200);
    EXPECT_EQ(calls, 1);
    ::close(peer);
}

TEST(Socket, CloseLaterAbortAndBackgroundExceptions)
{
    PeerListener listener;
    TWSocket s;
    EventLog log(s);
    ConnectTo(s, listener.PortText());
    int peer = listener.Accept();
    ASSERT_TRUE(WaitFor([&] { return s.State() == wsConnected; }));

    s.CloseLater();
    EXPECT_EQ(s.State(), wsConnected);
    ASSERT_TRUE(WaitFor([&] { return s.State() == wsClosed; }));
    EXPECT_EQ(log.Count(QStringLiteral("closed 0")), 1);
    ::close(peer);

    // A background exception aborts the socket unless the handler keeps it.
    ConnectTo(s, listener.PortText());
    peer = listener.Accept();
    ASSERT_TRUE(WaitFor([&] { return s.State() == wsConnected; }));
    QString seen;
    bool keep = true;
    s.OnBgException = [&](TCustomWSocket*, const std::exception& e, bool& canClose) {
        seen = QString::fromUtf8(e.what());
        canClose = !keep;
    };
    s.Window()->Post(MsgTestException);
    ASSERT_TRUE(WaitFor([&] { return !seen.isEmpty(); }));
    EXPECT_EQ(seen, QStringLiteral("Test exception in WSocket"));
    EXPECT_EQ(s.State(), wsConnected);
    keep = false;
    seen.clear();
    s.Window()->Post(MsgTestException);
    ASSERT_TRUE(WaitFor([&] { return s.State() == wsClosed; }));
    EXPECT_EQ(seen, QStringLiteral("Test exception in WSocket"));
    ::close(peer);
}

TEST(Socket, ReconnectFromTheClosedHandlerKeepsTheNewConnection)
{
    // A refused connect closes the socket itself; a handler that tries again at once
    // must keep its new connection.
    PeerListener listener;
    TWSocket s;
    int closes = 0;
    s.OnSessionClosed = [&](TCustomWSocket* sender, std::uint16_t) {
        if (++closes == 1)
            ConnectTo(*static_cast<TWSocket*>(sender), listener.PortText());
    };
    ConnectTo(s, QString::number(RefusingPort()));
    const int second = listener.Accept();
    ASSERT_GE(second, 0);
    ASSERT_TRUE(WaitFor([&] { return s.State() == wsConnected; }));
    RunLoopFor(100);
    EXPECT_EQ(s.State(), wsConnected);
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(s.SendString("again"), 5);
    EXPECT_EQ(ReadPeer(second, 5), QByteArray("again"));
    ::close(second);
}

TEST(Socket, FreeLaterDestroysTheSocketFromTheLoop)
{
    const int before = WSocketApi::LiveSockets();
    auto* s = new TWSocket;
    EXPECT_EQ(WSocketApi::LiveSockets(), before + 1);
    s->FreeLater();
    EXPECT_EQ(WSocketApi::LiveSockets(), before + 1);
    ASSERT_TRUE(WaitFor([&] { return WSocketApi::LiveSockets() == before; }));
}

TEST(Socket, DestroyingAConnectedSocketCallsNobodyBack)
{
    PeerListener listener;
    auto s = std::make_unique<TWSocket>();
    auto log = std::make_unique<EventLog>(*s);
    ConnectTo(*s, listener.PortText());
    const int peer = listener.Accept();
    ASSERT_TRUE(WaitFor([&] { return s->State() == wsConnected; }));
    log->events.clear();
    QStringList afterwards;
    s->OnChangeState = [&](TCustomWSocket*, TSocketState, TSocketState) {
        afterwards << QStringLiteral("state");
    };
    s->OnSessionClosed = [&](TCustomWSocket*, std::uint16_t) { afterwards << QStringLiteral("closed"); };
    s.reset();
    EXPECT_TRUE(afterwards.isEmpty()) << afterwards.join(QLatin1Char(',')).toStdString();
    // The peer sees the connection end.
    EXPECT_TRUE(ReadPeer(peer, 1, 2000).isEmpty());
    ::close(peer);
}

TEST(Socket, WritingToAShutConnectionClosesItWithoutSigpipe)
{
    PeerListener listener;
    TWSocket s;
    EventLog log(s);
    ConnectTo(s, listener.PortText());
    const int peer = listener.Accept();
    ASSERT_TRUE(WaitFor([&] { return s.State() == wsConnected; }));
    log.events.clear();
    s.Shutdown(SHUT_WR);
    EXPECT_EQ(s.SendString("too late"), 8); // queued; the write fails underneath
    EXPECT_EQ(s.State(), wsClosed);
    EXPECT_EQ(log.events, QStringList({"state Connected>Closed", "closed 10054"}));
    ::close(peer);
}

TEST(Socket, PausedSocketHoldsItsNewsUntilResumed)
{
    PeerListener listener;
    TWSocket s;
    EventLog log(s);
    ConnectTo(s, listener.PortText());
    const int peer = listener.Accept();
    ASSERT_TRUE(WaitFor([&] { return s.State() == wsConnected; }));
    s.Pause();
    ASSERT_TRUE(SendAll(peer, "held"));
    RunLoopFor(100);
    EXPECT_TRUE(log.received.isEmpty());
    s.Resume();
    ASSERT_TRUE(WaitFor([&] { return log.received == "held"; }));
    ::close(peer);
    ASSERT_TRUE(WaitFor([&] { return s.State() == wsClosed; }));
}

TEST(Socket, NewsOfAnEarlierConnectionNeverReachesTheNextOne)
{
    PeerListener listener;
    TWSocket s;
    ConnectTo(s, listener.PortText());
    const int first = listener.Accept();
    ASSERT_TRUE(WaitFor([&] { return s.State() == wsConnected; }));
    RunLoopFor(20);
    QStringList sentIn;
    s.OnDataSent = [&](TCustomWSocket* sender, std::uint16_t) { sentIn << StateName(sender->State()); };
    EXPECT_EQ(s.SendString("x"), 1); // posts its "all sent" news for this handle
    const TSocket oldHandle = s.HSocket();
    s.Abort();
    ConnectTo(s, listener.PortText()); // the system hands out the same number again
    EXPECT_EQ(s.HSocket(), oldHandle);
    const int second = listener.Accept();
    ASSERT_TRUE(WaitFor([&] { return s.State() == wsConnected; }));
    RunLoopFor(50);
    EXPECT_EQ(sentIn, QStringList({"Connected"})) << sentIn.join(QLatin1Char(',')).toStdString();
    ::close(first);
    ::close(second);
}

namespace {

int SocketOption(int fd, int option)
{
    int value = -1;
    socklen_t len = sizeof value;
    if (::getsockopt(fd, SOL_SOCKET, option, &value, &len) != 0)
        return -1;
    return value;
}

} // namespace

TEST(Socket, KeepAliveIsAskedForUnlessTurnedOffAndAddressReuseOnlyForABind)
{
    PeerListener listener;
    TWSocket plain;
    ConnectTo(plain, listener.PortText());
    ASSERT_NE(plain.HSocket(), INVALID_SOCKET);
    EXPECT_EQ(SocketOption(plain.HSocket(), SO_KEEPALIVE), 1);
    EXPECT_EQ(SocketOption(plain.HSocket(), SO_REUSEADDR), 0); // no bind of its own

    TWSocket quiet;
    quiet.SetKeepAlive(false);
    quiet.SetLocalAddr(QStringLiteral("127.0.0.1"));
    ConnectTo(quiet, listener.PortText());
    ASSERT_NE(quiet.HSocket(), INVALID_SOCKET);
    EXPECT_EQ(SocketOption(quiet.HSocket(), SO_KEEPALIVE), 0);
    EXPECT_EQ(SocketOption(quiet.HSocket(), SO_REUSEADDR), 1);
    // The setting outlives the connection, like the other properties a close keeps.
    quiet.Close();
    EXPECT_FALSE(quiet.KeepAlive());

    // The HTTP client's connections carry one request each.
    EXPECT_FALSE(THttpCli().Socket().KeepAlive());
}
