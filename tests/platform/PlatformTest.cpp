#include "MessageBoxRecorder.h"
#include "TestPaths.h"
#include "platform/Exception.h"
#include "platform/MessageTarget.h"
#include "platform/Timer.h"

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
