#include "update/TDailyUpdateRule.h"

#include <gtest/gtest.h>

using pw::update::TDailyUpdateRule;

TEST(DailyUpdateRule, LateTickStillCatchesTheSecondOnce)
{
    TDailyUpdateRule rule;
    const QTime target(12, 0, 30);
    EXPECT_FALSE(rule.Tick(QTime(12, 0, 29, 900), target));
    EXPECT_TRUE(rule.Tick(QTime(12, 0, 31, 0), target));
    EXPECT_FALSE(rule.Tick(QTime(12, 0, 36, 0), target)); // the next tick, 5 s later
    EXPECT_FALSE(rule.Tick(QTime(12, 0, 37, 0), target));
}

TEST(DailyUpdateRule, WrapOfTheSecondAtTheFullMinute)
{
    TDailyUpdateRule rule;
    const QTime target(12, 0, 0);
    EXPECT_FALSE(rule.Tick(QTime(11, 59, 59, 600), target));
    EXPECT_TRUE(rule.Tick(QTime(12, 0, 0, 600), target));
    EXPECT_FALSE(rule.Tick(QTime(12, 0, 5, 600), target));
}

TEST(DailyUpdateRule, FiresAgainNextDay)
{
    TDailyUpdateRule rule;
    const QTime target(8, 15, 10);
    EXPECT_TRUE(rule.Tick(QTime(8, 15, 10), target));
    EXPECT_FALSE(rule.Tick(QTime(8, 15, 15), target));
    EXPECT_FALSE(rule.Tick(QTime(23, 59, 59), target));
    EXPECT_FALSE(rule.Tick(QTime(8, 15, 9), target));
    EXPECT_TRUE(rule.Tick(QTime(8, 15, 10), target));
}

TEST(DailyUpdateRule, WrongMinuteOrHourNeverFires)
{
    TDailyUpdateRule rule;
    const QTime target(8, 15, 10);
    EXPECT_FALSE(rule.Tick(QTime(8, 16, 10), target));
    EXPECT_FALSE(rule.Tick(QTime(9, 15, 10), target));
}

TEST(DailyUpdateRule, UpdateTimeParsing)
{
    EXPECT_EQ(TDailyUpdateRule::ParseUpdateTime("12:00:30"), QTime(12, 0, 30));
    EXPECT_EQ(TDailyUpdateRule::ParseUpdateTime("7:05:00"), QTime(7, 5, 0));
    EXPECT_EQ(TDailyUpdateRule::ParseUpdateTime("1:05:07 PM"), QTime(13, 5, 7)); // 12-hour locales
    // Anything that is not a time of day is midnight, like the default.
    EXPECT_EQ(TDailyUpdateRule::ParseUpdateTime("soon"), QTime(0, 0, 0));
    EXPECT_EQ(TDailyUpdateRule::ParseUpdateTime(""), QTime(0, 0, 0));
    EXPECT_EQ(TDailyUpdateRule::ParseUpdateTime("25:00:00"), QTime(0, 0, 0));
}
