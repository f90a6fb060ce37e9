#include "RaisedText.h"
#include "SocketTestPeer.h"
#include "TestPaths.h"
#include "net/TWSocket.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace pw::net;
using namespace pw::test;

namespace {

void StartListening(TWSocket& server, const QString& port = QStringLiteral("0"))
{
    server.SetAddr(QStringLiteral("127.0.0.1"));
    server.SetPort(port);
    server.SetProto(QStringLiteral("tcp"));
    server.Listen();
}

} // namespace

TEST(SocketServer, ListenAcceptAndDupCarryDataBothWays)
{
    TWSocket server;
    std::vector<TSocketState> states;
    server.OnChangeState = [&](TCustomWSocket*, TSocketState, TSocketState n) { states.push_back(n); };
    std::vector<TSocket> accepted;
    server.OnSessionAvailable = [&](TCustomWSocket* sender, std::uint16_t e) {
        EXPECT_EQ(e, 0);
        accepted.push_back(sender->Accept());
    };
    StartListening(server);
    EXPECT_EQ(states, std::vector<TSocketState>({wsBound, wsListening}));
    const QString port = server.BoundPortText();
    ASSERT_NE(port, QStringLiteral("error"));
    ASSERT_NE(port.toInt(), 0);

    // Two clients waiting at once are offered one by one.
    const int peerA = ConnectTo(static_cast<std::uint16_t>(port.toInt()));
    const int peerB = ConnectTo(static_cast<std::uint16_t>(port.toInt()));
    ASSERT_GE(peerA, 0);
    ASSERT_GE(peerB, 0);
    ASSERT_TRUE(WaitFor([&] { return accepted.size() == 2; }));
    RunLoopFor(50);
    ASSERT_EQ(accepted.size(), 2u);
    EXPECT_NE(accepted[0], INVALID_SOCKET);
    EXPECT_NE(accepted[1], INVALID_SOCKET);

    TWSocket session;
    std::vector<TSocketState> sessionStates;
    session.OnChangeState = [&](TCustomWSocket*, TSocketState, TSocketState n) {
        sessionStates.push_back(n);
    };
    QByteArray received;
    session.OnDataAvailable = [&](TCustomWSocket* sender, std::uint16_t) {
        char buf[256];
        const int n = sender->Receive(buf, sizeof buf);
        if (n > 0)
            received.append(buf, n);
    };
    int closed = 0;
    session.OnSessionClosed = [&](TCustomWSocket*, std::uint16_t) { ++closed; };
    session.Dup(accepted[0]);
    EXPECT_EQ(session.State(), wsConnected);
    EXPECT_EQ(sessionStates, std::vector<TSocketState>({wsConnected}));
    EXPECT_EQ(session.PeerAddr(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(session.BoundPortText(), port);

    ASSERT_TRUE(SendAll(peerA, "ping"));
    ASSERT_TRUE(WaitFor([&] { return received == "ping"; }));
    EXPECT_EQ(session.SendString("pong"), 4);
    EXPECT_EQ(ReadPeer(peerA, 4), QByteArray("pong"));
    EXPECT_EQ(session.ReadCount(), 4);

    ::close(peerA);
    ASSERT_TRUE(WaitFor([&] { return session.State() == wsClosed; }));
    EXPECT_EQ(closed, 1);

    // Dup on a socket in use closes the old handle first.
    session.Dup(accepted[1]);
    EXPECT_EQ(session.State(), wsConnected);
    ASSERT_TRUE(SendAll(peerB, "second"));
    received.clear();
    ASSERT_TRUE(WaitFor([&] { return received == "second"; }));
    session.Close();
    ::close(peerB);
    server.Close();
    EXPECT_EQ(server.State(), wsClosed);
}

TEST(SocketServer, ListeningMistakesAreReported)
{
    TWSocket s;
    EXPECT_EQ(RaisedText([&] { s.Listen(); }),
              QStringLiteral("Error 10022 in function listen: port not assigned\r\nInvalid argument"));
    s.SetPort(QStringLiteral("0"));
    EXPECT_EQ(RaisedText([&] { s.Listen(); }),
              QStringLiteral("Error 10022 in function listen: address not assigned\r\nInvalid argument"));
    EXPECT_EQ(RaisedText([&] { s.Accept(); }),
              QStringLiteral("Error 10022 in function not a listening socket\r\nInvalid argument"));
    EXPECT_EQ(RaisedText([&] { s.Dup(INVALID_SOCKET); }),
              QStringLiteral("Error 10022 in function Dup\r\nInvalid argument"));
    s.SetAddr(QStringLiteral("nonexistent.invalid"));
    EXPECT_EQ(
        RaisedText([&] { s.Listen(); }),
        QStringLiteral(
            "listen: WSocketResolveHost: Cannot convert host address 'nonexistent.invalid', Error #11001"));
    EXPECT_EQ(s.State(), wsClosed);
}

TEST(SocketServer, ABusyPortFailsWithoutLeakingTheHandle)
{
    PeerListener taken;
    TWSocket s;
    const int before = OpenDescriptors();
    EXPECT_EQ(RaisedText([&] { StartListening(s, taken.PortText()); }),
              QStringLiteral("Error 10048 in function Bind\r\nAddress already in use"));
    EXPECT_EQ(s.State(), wsClosed);
    EXPECT_EQ(s.HSocket(), INVALID_SOCKET);
    EXPECT_EQ(OpenDescriptors(), before);

    // The same object can listen elsewhere afterwards.
    s.SetPort(QStringLiteral("0"));
    s.Listen();
    EXPECT_EQ(s.State(), wsListening);
    s.Close();
    EXPECT_EQ(OpenDescriptors(), before);
}

TEST(SocketServer, DatagramsGoBothWays)
{
    // A plain UDP peer on loopback.
    const int peer = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in peerAddr = Loopback(0);
    ASSERT_EQ(::bind(peer, reinterpret_cast<sockaddr*>(&peerAddr), sizeof peerAddr), 0);
    const std::uint16_t peerPort = LocalPortOf(peer);

    TWSocket server;
    std::vector<TSocketState> states;
    server.OnChangeState = [&](TCustomWSocket*, TSocketState, TSocketState n) { states.push_back(n); };
    int connected = 0;
    server.OnSessionConnected = [&](TCustomWSocket*, std::uint16_t e) { connected += e == 0 ? 1 : 100; };
    QByteArray got;
    server.OnDataAvailable = [&](TCustomWSocket* sender, std::uint16_t) {
        char buf[512];
        sockaddr_in from{};
        socklen_t len = sizeof from;
        const int n = sender->ReceiveFrom(buf, sizeof buf, from, len);
        if (n > 0)
            got.append(buf, n);
    };
    server.SetAddr(QStringLiteral("127.0.0.1"));
    server.SetPort(QStringLiteral("0"));
    server.SetProto(QStringLiteral("udp"));
    server.Listen();
    EXPECT_EQ(states, std::vector<TSocketState>({wsBound, wsListening, wsConnected}));
    EXPECT_EQ(connected, 1);
    const sockaddr_in to = Loopback(static_cast<std::uint16_t>(server.BoundPortText().toInt()));
    ASSERT_EQ(::sendto(peer, "one", 3, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to), 3);
    ASSERT_EQ(::sendto(peer, "two", 3, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to), 3);
    ASSERT_TRUE(WaitFor([&] { return got == "onetwo"; }));

    // The client side is connected before Connect returns and sends to its Addr/Port.
    TWSocket client;
    int clientConnected = 0;
    client.OnSessionConnected = [&](TCustomWSocket*, std::uint16_t e) {
        clientConnected += e == 0 ? 1 : 100;
    };
    client.SetAddr(QStringLiteral("127.0.0.1"));
    client.SetPort(QString::number(peerPort));
    client.SetProto(QStringLiteral("17"));
    client.Connect();
    EXPECT_EQ(clientConnected, 1);
    EXPECT_EQ(client.State(), wsConnected);
    EXPECT_EQ(client.SendString("datagram"), 8);
    char buf[64] = {};
    pollfd p{peer, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 5000), 1);
    EXPECT_EQ(::recv(peer, buf, sizeof buf, 0), 8);
    EXPECT_EQ(QByteArray(buf), QByteArray("datagram"));
    client.Close();
    server.Close();
    ::close(peer);
}
