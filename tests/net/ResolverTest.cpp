#include "SocketTestPeer.h"
#include "TestPaths.h"
#include "net/TWSocket.h"
#include "platform/AsyncResolver.h"
#include "platform/MessageTarget.h"

#include <gtest/gtest.h>

#include <vector>

using namespace pw::net;
using pw::test::RunLoopFor;
using pw::test::WaitFor;

namespace {

struct LookupRecorder {
    std::vector<int> done;

    explicit LookupRecorder(TWSocket& s)
    {
        s.OnDnsLookupDone = [this](TCustomWSocket*, std::uint16_t e) { done.push_back(e); };
    }
};

} // namespace

TEST(SocketDnsLookup, DottedNameCompletesBeforeReturningWithNormalisedText)
{
    TWSocket s;
    LookupRecorder rec(s);
    s.DnsLookup(QStringLiteral("127.0.0.1"));
    ASSERT_EQ(rec.done, std::vector<int>({0}));
    EXPECT_EQ(s.DnsResult(), QStringLiteral("127.0.0.1"));
    EXPECT_TRUE(s.DnsResultList().isEmpty());

    // The platform's own conversion decides, so short and hex forms come back normalised.
    s.DnsLookup(QStringLiteral("0x7f.1"));
    ASSERT_EQ(rec.done, std::vector<int>({0, 0}));
    EXPECT_EQ(s.DnsResult(), QStringLiteral("127.0.0.1"));
    RunLoopFor(50);
    EXPECT_EQ(rec.done.size(), 2u);
}

TEST(SocketDnsLookup, EmptyNameRaisesOrReportsThroughOnError)
{
    TWSocket s;
    LookupRecorder rec(s);
    try {
        s.DnsLookup(QString());
        ADD_FAILURE() << "no exception";
    } catch (const ESocketException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("DNS lookup: invalid host name."));
    }
    EXPECT_TRUE(rec.done.empty());

    std::vector<QString> order;
    s.OnError = [&](TCustomWSocket*) { order.push_back(QStringLiteral("error")); };
    s.OnDnsLookupDone = [&](TCustomWSocket*, std::uint16_t e) {
        order.push_back(QStringLiteral("done %1").arg(e));
    };
    s.DnsLookup(QString());
    EXPECT_EQ(order, std::vector<QString>({QStringLiteral("error"), QStringLiteral("done 10022")}));
    order.clear();
    s.ReverseDnsLookup(QString());
    EXPECT_EQ(order, std::vector<QString>({QStringLiteral("error"), QStringLiteral("done 10022")}));
}

TEST(SocketDnsLookup, NamesResolveAsynchronously)
{
    TWSocket s;
    LookupRecorder rec(s);
    s.DnsLookup(QStringLiteral("localhost"));
    EXPECT_TRUE(rec.done.empty()); // never inside the call for a name
    ASSERT_TRUE(WaitFor([&] { return !rec.done.empty(); }, 10000));
    EXPECT_EQ(rec.done, std::vector<int>({0}));
    EXPECT_EQ(s.DnsResult(), QStringLiteral("127.0.0.1"));
    EXPECT_TRUE(s.DnsResultList().contains(QStringLiteral("127.0.0.1")));
    EXPECT_EQ(s.DnsResultList().first(), s.DnsResult());

    s.DnsLookup(QStringLiteral("nonexistent.invalid"));
    EXPECT_TRUE(s.DnsResult().isEmpty()); // cleared when a lookup starts
    ASSERT_TRUE(WaitFor([&] { return rec.done.size() == 2; }, 15000));
    EXPECT_EQ(rec.done[1], 11001);
    EXPECT_TRUE(s.DnsResult().isEmpty());
    EXPECT_TRUE(s.DnsResultList().isEmpty());

    s.ReverseDnsLookup(QStringLiteral("127.0.0.1"));
    ASSERT_TRUE(WaitFor([&] { return rec.done.size() == 3; }, 10000));
    EXPECT_EQ(rec.done[2], 0);
    EXPECT_FALSE(s.DnsResult().isEmpty());
    EXPECT_EQ(s.DnsResultList(), QStringList{s.DnsResult()});
    EXPECT_EQ(pw::platform::AsyncResolver::Outstanding(), 0);
}

TEST(SocketDnsLookup, CancelledAndSupersededLookupsStaySilent)
{
    TWSocket s;
    LookupRecorder rec(s);
    s.CancelDnsLookup(); // nothing pending: nothing happens
    EXPECT_TRUE(rec.done.empty());

    s.DnsLookup(QStringLiteral("localhost"));
    s.CancelDnsLookup();
    EXPECT_EQ(rec.done, std::vector<int>({10004}));
    RunLoopFor(300);
    EXPECT_EQ(rec.done, std::vector<int>({10004}));
    EXPECT_TRUE(s.DnsResult().isEmpty());

    // A new lookup replaces a pending one without any event for the first.
    rec.done.clear();
    s.DnsLookup(QStringLiteral("nonexistent.invalid"));
    s.DnsLookup(QStringLiteral("localhost"));
    ASSERT_TRUE(WaitFor([&] { return !rec.done.empty(); }, 10000));
    RunLoopFor(300);
    EXPECT_EQ(rec.done, std::vector<int>({0}));
    EXPECT_EQ(s.DnsResult(), QStringLiteral("127.0.0.1"));

    // A completion carrying a handle that is not pending changes nothing.
    s.Window()->Post(MsgHostLookupDone, 987654321, 11001 << 16);
    RunLoopFor(50);
    EXPECT_EQ(rec.done, std::vector<int>({0}));
    EXPECT_EQ(s.DnsResult(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(pw::platform::AsyncResolver::Outstanding(), 0);
}

TEST(SocketDnsLookup, DestroyingWithAPendingLookupFiresNothing)
{
    int fired = 0;
    {
        TWSocket s;
        s.OnDnsLookupDone = [&](TCustomWSocket*, std::uint16_t) { ++fired; };
        s.DnsLookup(QStringLiteral("localhost"));
    }
    RunLoopFor(300);
    EXPECT_EQ(fired, 0);
    EXPECT_EQ(pw::platform::AsyncResolver::Outstanding(), 0);
}
