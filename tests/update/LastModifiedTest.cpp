#include "update/LastModified.h"

#include <gtest/gtest.h>

using namespace pw::update;

TEST(LastModified, ParsesTheUsualLine)
{
    const auto d = ParseLastModified("Last-modified: Tue, 07 Mar 2000 09:15:02 GMT");
    ASSERT_TRUE(d);
    EXPECT_EQ(d->DayToken, "07");
    EXPECT_EQ(d->MonthName, "Mar");
    EXPECT_EQ(d->YearToken, "2000");
    EXPECT_EQ(d->Year, 2000);
    EXPECT_EQ(d->Month, 3);
    EXPECT_EQ(d->Day, 7);
    EXPECT_EQ(d->DatePart(), "20000307");
}

TEST(LastModified, FieldNameAnyCaseAndOneDigitDay)
{
    const auto d = ParseLastModified("LAST-MODIFIED: Sun, 7 Dec 2026 01:02:03 GMT");
    ASSERT_TRUE(d);
    EXPECT_EQ(d->DayToken, "07");
    EXPECT_EQ(d->DatePart(), "20261207");
    EXPECT_TRUE(IsLastModifiedLine("last-Modified:x"));
    EXPECT_FALSE(IsLastModifiedLine("Content-Type: text/html"));
    EXPECT_FALSE(IsLastModifiedLine("X-Last-modified: Tue, 07 Mar 2000"));
}

TEST(LastModified, UnknownMonthGivesZero)
{
    EXPECT_EQ(MonthFromName("Jan"), 1);
    EXPECT_EQ(MonthFromName("Dec"), 12);
    EXPECT_EQ(MonthFromName("mar"), 0);
    const auto d = ParseLastModified("Last-modified: Tue, 07 Mrz 2000 09:15:02 GMT");
    ASSERT_TRUE(d);
    EXPECT_EQ(d->Month, 0);
    EXPECT_EQ(d->DatePart(), "20000007");
}

TEST(LastModified, MalformedLinesAreRefused)
{
    const char* bad[] = {
        "Last-modified: Tue, 07 Mar",             // year missing
        "Last-modified: Tue,  07 Mar 2000 09:15", // two blanks
        "Last-modified: Tue, 07 Mar  2000",       // two blanks before the year
        "Last-modified: Tue, x7 Mar 2000 09:15",  // day not a number
        "Last-modified: Tue, 07 Mar 2k00 09:15",  // year not a number
        "Last-modified: Tue, 00 Mar 2000 09:15",  // no day 0 in a file name
        "Last-modified: Tue, 07 Mar 0 09:15",     // nor a year 0
        "Last-modified: Tue, 123 Mar 2000 09:15", // day too long for a file name
        "Last-modified: Tue, 07 Mar 99999 09:15", // year too long
        "Last-modified: Tue, 07 Mar ../..",       // path parts never get through
        "Last-modified: Tue, 32 Mar 2000 09:15",  // dates the strip store cannot read back
        "Last-modified: Tue, 30 Feb 2000 09:15",
        "Last-modified: Wed, 29 Feb 2023 09:15",
        "Last-modified: Tue, 32 Mrz 2000 09:15",
        "Last-modified: Mon, 01 Jan 0999 00:00",
        "Last-modified:",
        "Last-modified: nodate",
    };
    for (const char* line : bad) {
        QString why;
        EXPECT_FALSE(ParseLastModified(QString::fromLatin1(line), &why)) << line;
        EXPECT_FALSE(why.isEmpty()) << line;
    }
}

TEST(LastModified, CalendarEdgesThatExistAreAccepted)
{
    EXPECT_EQ(ParseLastModified("Last-modified: Mon, 01 Jan 1000 00:00:00 GMT")->DatePart(), "10000101");
    EXPECT_EQ(ParseLastModified("Last-modified: Thu, 29 Feb 2024 00:00:00 GMT")->DatePart(), "20240229");
    EXPECT_EQ(ParseLastModified("Last-modified: Fri, 31 Dec 9999 00:00:00 GMT")->DatePart(), "99991231");
}
