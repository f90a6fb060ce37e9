// Line mode against a plain peer: lines cut on the terminator whatever the reads, editing
// and echo, switching the mode off mid-line, the last line at close, the line limit.
#include "SocketTestPeer.h"
#include "SocksEventLog.h"
#include "TestPaths.h"
#include "net/TWSocket.h"

#include <gtest/gtest.h>

using namespace pw::net;
using namespace pw::test;

namespace {

// A line-mode socket connected to a plain peer.
struct LinePair {
    PeerListener listener;
    TWSocket s;
    SocksEventLog log{s};
    int peer = -1;

    LinePair()
    {
        s.SetLineMode(true);
        s.SetAddr(QStringLiteral("127.0.0.1"));
        s.SetPort(listener.PortText());
        s.Connect();
        peer = listener.Accept();
        WaitFor([&] { return s.State() == wsConnected; });
    }
    ~LinePair()
    {
        if (peer >= 0)
            ::close(peer);
    }
    // Sends bytes and waits until the socket has read them (delivered or buffered).
    void Feed(const QByteArray& bytes)
    {
        SendAll(peer, bytes);
        RunLoopFor(40);
    }
    void CloseAndWait()
    {
        ::close(peer);
        peer = -1;
        WaitFor([&] { return s.State() == wsClosed; });
    }
};

} // namespace

TEST(LineMode, LinesAreCutOnTheTerminatorWhateverTheReads)
{
    LinePair p;
    ASSERT_EQ(p.s.State(), wsConnected);
    p.Feed("one\r\ntwo\r\nthr"); // two lines in one read, the third begun
    p.Feed("ee\r");              // the terminator split over two reads
    p.Feed("\nfour");
    p.CloseAndWait(); // the last line has no terminator
    EXPECT_EQ(p.log.events, QStringList({"connected 0", "data one%0D%0A", "data two%0D%0A",
                                         "data three%0D%0A", "data four", "closed 0"}));
}

TEST(LineMode, ReceiveNeverHandsOutMoreThanTheRestOfTheLine)
{
    LinePair p;
    p.log.ReadSize = 3;
    p.Feed("abcdefg\nxy\n");
    p.s.SetLineEnd("\n");
    p.Feed("z\n");
    ASSERT_TRUE(WaitFor([&] { return p.log.received.endsWith("z\n"); }));
    EXPECT_EQ(p.log.events,
              QStringList({"connected 0", "data abc", "data def", "data g%0A", "data xy%0A", "data z%0A"}));
    // Outside a delivery there is nothing to read: a half line waits for its end.
    p.Feed("half");
    char buf[16];
    EXPECT_EQ(p.s.Receive(buf, sizeof buf), -1);
    EXPECT_EQ(p.s.RcvdCount(), 0);
}

TEST(LineMode, EditingAndEchoWorkOnTheReceivedBytes)
{
    LinePair p;
    p.s.SetLineEcho(true);
    p.Feed("ok\r\n");
    EXPECT_EQ(ReadPeer(p.peer, 4), QByteArray("ok\r\n"));
    p.s.SetLineEdit(true);
    p.Feed("ab\bc\td\r\n");
    EXPECT_EQ(ReadPeer(p.peer, 15), QByteArray("ab\b \bc      d\r\n"));
    EXPECT_EQ(p.log.received, QByteArray("ok\r\nac      d\r\n"));
    p.Feed("\b\bx\r\n"); // nothing before the start of the line to remove
    EXPECT_EQ(ReadPeer(p.peer, 3), QByteArray("x\r\n"));
    EXPECT_EQ(p.log.received.mid(15), QByteArray("x\r\n"));
}

TEST(LineMode, SwitchedOffMidLineTheRestComesInOrderFromTheLoop)
{
    LinePair p;
    p.s.OnDataAvailable = [&](TCustomWSocket* s, std::uint16_t) {
        char buf[2];
        const int n = s->Receive(buf, sizeof buf);
        if (n > 0)
            p.log.received.append(buf, n);
        static_cast<TWSocket*>(s)->SetLineMode(false);
    };
    p.Feed("hello\r\nworld\r\n");
    // Two bytes a time, the rest from the buffer without any new data.
    EXPECT_TRUE(WaitFor([&] { return p.log.received == "hello\r\nworld\r\n"; })) << p.log.received.data();
    p.Feed("more");
    EXPECT_TRUE(WaitFor([&] { return p.log.received == "hello\r\nworld\r\nmore"; })) << p.log.received.data();
}

TEST(LineMode, AlineWithoutEndIsHandedOutAtTheLimit)
{
    LinePair p;
    p.s.SetLineLimit(10);
    p.Feed(QByteArray(25, 'a'));
    p.Feed("\r\n");
    ASSERT_TRUE(WaitFor([&] { return p.log.received.size() == 27; }));
    EXPECT_EQ(p.log.events,
              QStringList({"connected 0", "data aaaaaaaaaa", "data aaaaaaaaaa", "data aaaaa%0D%0A"}));
}
