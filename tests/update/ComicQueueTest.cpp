#include "comics/TComicInfo.h"
#include "update/TComicQueue.h"

#include <gtest/gtest.h>

using pw::comics::TComicInfo;
using pw::update::TComicQueue;

TEST(ComicQueue, ComicsLeaveInTheOrderTheyCameWithWhatWasLearntOfTheirFolder)
{
    TComicInfo a(QStringLiteral("A"), {}), b(QStringLiteral("B"), {}), c(QStringLiteral("C"), {});
    TComicQueue queue;
    EXPECT_FALSE(queue.PopFirst().has_value());
    queue.Add(&a, false);
    queue.Add(&b, true);
    queue.Add(&c, false);
    EXPECT_EQ(queue.Count(), 3);
    EXPECT_TRUE(queue.ContainsComic(&b));

    const auto first = queue.PopFirst();
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->Comic, &a);
    EXPECT_FALSE(first->FolderIsNew);
    EXPECT_FALSE(queue.ContainsComic(&a));

    const auto second = queue.PopFirst();
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(second->Comic, &b);
    EXPECT_TRUE(second->FolderIsNew);
    EXPECT_EQ(queue.Count(), 1);
}

TEST(ComicQueue, AComicQueuedTwiceStaysQueuedUntilBothLeaveAndClearDropsAll)
{
    TComicInfo a(QStringLiteral("A"), {}), b(QStringLiteral("B"), {});
    TComicQueue queue;
    queue.Add(&a, false);
    queue.Add(&a, false);
    queue.Add(&b, false);
    queue.PopFirst();
    EXPECT_TRUE(queue.ContainsComic(&a));
    queue.PopFirst();
    EXPECT_FALSE(queue.ContainsComic(&a));
    queue.Clear();
    EXPECT_EQ(queue.Count(), 0);
    EXPECT_FALSE(queue.ContainsComic(&b));
    EXPECT_FALSE(queue.PopFirst().has_value());
}
