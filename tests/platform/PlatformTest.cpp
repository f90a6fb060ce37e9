#include "MessageBoxRecorder.h"
#include "TestPaths.h"
#include "platform/Exception.h"
#include "platform/MessageTarget.h"
#include "platform/Timer.h"

#include <QElapsedTimer>

#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace pw;

TEST(MessageTarget, PostedMessagesArriveLaterInOrderAndSentOnesAtOnce)
{
    platform::MessageTarget target;
    std::vector<unsigned> seen;
    target.OnMessage = [&](unsigned msg, platform::WParam w, platform::LParam l) {
        seen.push_back(msg);
        EXPECT_EQ(w, msg + 1);
        EXPECT_EQ(l, -static_cast<platform::LParam>(msg));
    };
    target.Post(1025, 1026, -1025);
    target.Post(1026, 1027, -1026);
    target.Send(3072, 3073, -3072);
    EXPECT_EQ(seen, std::vector<unsigned>({3072}));
    ASSERT_TRUE(test::WaitFor([&] { return seen.size() == 3; }));
    EXPECT_EQ(seen, std::vector<unsigned>({3072, 1025, 1026}));
}

TEST(MessageTarget, DiscardedMessagesNeverArrive)
{
    platform::MessageTarget target;
    int count = 0;
    target.OnMessage = [&](unsigned, platform::WParam, platform::LParam) { ++count; };
    target.Post(1);
    target.DiscardPosted();
    target.Post(2);
    ASSERT_TRUE(test::WaitFor([&] { return count == 1; }));
    test::WaitFor([] { return false; }, 50);
    EXPECT_EQ(count, 1);
}

TEST(MessageTarget, MessagesOfAllTargetsKeepThePostingOrderAndOtherThreadsArriveToo)
{
    std::vector<int> seen; // target * 10 + message
    bool fromThread = false;
    auto first = std::make_unique<platform::MessageTarget>();
    platform::MessageTarget second;
    auto gone = std::make_unique<platform::MessageTarget>();
    first->OnMessage = [&](unsigned msg, platform::WParam, platform::LParam) {
        seen.push_back(10 + static_cast<int>(msg));
        if (msg == 1) {
            first->Post(5); // after everything posted before it
            gone.reset();   // its waiting message is dropped
        }
    };
    second.OnMessage = [&](unsigned msg, platform::WParam, platform::LParam) {
        if (msg == 9)
            fromThread = true;
        else
            seen.push_back(20 + static_cast<int>(msg));
    };
    gone->OnMessage = [&](unsigned msg, platform::WParam, platform::LParam) {
        seen.push_back(30 + static_cast<int>(msg));
    };
    first->Post(1);
    second.Post(2);
    gone->Post(3);
    first->Post(4);
    std::thread([&] { second.Post(9); }).join(); // as a host lookup's completion comes
    ASSERT_TRUE(test::WaitFor([&] { return seen.size() == 4 && fromThread; }));
    test::WaitFor([] { return false; }, 50);
    EXPECT_EQ(seen, std::vector<int>({11, 22, 14, 15}));
}

TEST(ExceptionGuard, ThrowingHandlersReachTheErrorBoxAndTheLoopGoesOn)
{
    test::MessageBoxRecorder boxes;
    platform::MessageTarget target;
    int after = 0;
    target.OnMessage = [&](unsigned msg, platform::WParam, platform::LParam) {
        if (msg == 1)
            throw platform::Exception(QStringLiteral("Unable to write to /x.ini"));
        if (msg == 2)
            throw std::runtime_error("plain");
        ++after;
    };
    target.Post(1);
    target.Send(2);
    target.Post(3);
    ASSERT_TRUE(test::WaitFor([&] { return after == 1; }));
    EXPECT_EQ(boxes.Texts(), QStringList({"plain", "Unable to write to /x.ini"}));
    EXPECT_EQ(boxes.Boxes().front().kind, platform::BoxKind::Error);
}

TEST(Timer, FiresRepeatedlyWhileEnabledAndRestartsOnChange)
{
    test::MessageBoxRecorder boxes;
    platform::Timer timer;
    int ticks = 0;
    timer.OnTimer = [&] {
        if (++ticks == 2)
            throw std::runtime_error("tick failed");
    };
    timer.SetInterval(10);
    EXPECT_FALSE(timer.Enabled());
    timer.SetEnabled(true);
    ASSERT_TRUE(test::WaitFor([&] { return ticks >= 3; }));
    timer.SetEnabled(false);
    const int stopped = ticks;
    test::WaitFor([] { return false; }, 60);
    EXPECT_EQ(ticks, stopped);
    EXPECT_EQ(boxes.Texts(), QStringList({"tick failed"}));
}

TEST(Timer, EnablingAgainPutsOffTheNextTickByAWholeInterval)
{
    platform::Timer timer;
    QElapsedTimer clock;
    clock.start();
    std::vector<qint64> ticks;
    timer.OnTimer = [&] { ticks.push_back(clock.elapsed()); };
    std::vector<qint64> restarts;
    auto restart = [&] {
        restarts.push_back(clock.elapsed()); // taken before: the count starts no earlier
        timer.SetEnabled(true);
    };
    timer.SetInterval(100);
    restart();
    // Restarted every 20 ms or so: on a busy machine a pause may still let it tick, but
    // never sooner than a whole interval after the restart before it.
    while (clock.elapsed() < 300) {
        test::WaitFor([] { return false; }, 20);
        restart();
    }
    ASSERT_TRUE(test::WaitFor([&] { return !ticks.empty() && ticks.back() > restarts.back(); }));
    for (const qint64 tick : ticks) {
        const auto before = std::upper_bound(restarts.begin(), restarts.end(), tick);
        ASSERT_NE(before, restarts.begin());
        EXPECT_GE(tick, *(before - 1) + 99) << "ticked " << tick - *(before - 1) << " ms after a restart";
    }
    qint64 tickedAt = -1;
    timer.OnTimer = [&] {
        if (tickedAt < 0)
            tickedAt = clock.elapsed();
    };
    // A shorter interval takes effect at once, also on a count that is running.
    timer.SetInterval(5000);
    timer.SetInterval(20);
    const qint64 shortened = clock.elapsed();
    ASSERT_TRUE(test::WaitFor([&] { return tickedAt >= 0; }, 30000));
    EXPECT_LT(tickedAt - shortened, 4000);
}
