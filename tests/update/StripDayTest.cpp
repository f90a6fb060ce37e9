// The day a strip is stored under: dates up to a day ahead of the update (a site in a
// later time zone, a clock a little fast) keep their day; later ones are the update's.
#include "update/StripDay.h"

#include <gtest/gtest.h>

using namespace pw;

namespace {

const QDateTime kNow(QDate(2026, 12, 8), QTime(22, 30), Qt::UTC);

sources::FeedItem Dated(const QDateTime& when)
{
    sources::FeedItem item;
    item.Date = sources::FeedDate{when};
    return item;
}

} // namespace

TEST(StripDay, NothingLaterThanADayAfterTheUpdate)
{
    const QDate today = kNow.date();
    EXPECT_EQ(update::StripDayOf(kNow.addSecs(-3600), kNow), today);
    EXPECT_EQ(update::StripDayOf(kNow.addSecs(24 * 3600), kNow), QDate(2026, 12, 9)); // just within
    EXPECT_EQ(update::StripDayOf(kNow.addSecs(24 * 3600 + 1), kNow), today);
    EXPECT_EQ(update::StripDayOf(QDateTime(QDate(9999, 12, 31), QTime(23, 59), Qt::UTC), kNow), today);
    // The same instant written in another zone.
    EXPECT_EQ(update::StripDayOf(kNow.addDays(2).toOffsetFromUtc(-12 * 3600), kNow), today);

    // A day without a time: tomorrow (UTC, a day after the update) is kept, later is not.
    EXPECT_EQ(update::StripDayOf(QDate(2026, 12, 9), kNow), QDate(2026, 12, 9));
    EXPECT_EQ(update::StripDayOf(QDate(2026, 12, 10), kNow), today);
    EXPECT_EQ(update::StripDayOf(QDate(2000, 3, 7), kNow), QDate(2000, 3, 7));
    EXPECT_FALSE(update::StripDayOf(QDate(), kNow).isValid());

    // Items beyond the limit lose their date (and so belong to the update's day); the rest keep it.
    const auto items = update::WithoutFutureDates(
        {Dated(kNow.addSecs(24 * 3600)), Dated(kNow.addSecs(24 * 3600 + 1)), sources::FeedItem{}}, kNow);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_TRUE(items[0].Date.has_value());
    EXPECT_FALSE(items[1].Date.has_value());
    EXPECT_FALSE(items[2].Date.has_value());

    // A strip stored under a far date holds back nothing up to today.
    EXPECT_EQ(update::NewestStoredDay(QDate(9999, 12, 31), kNow), QDate(2026, 12, 7));
    EXPECT_EQ(update::NewestStoredDay(QDate(2026, 12, 9), kNow), QDate(2026, 12, 9));
    EXPECT_EQ(update::NewestStoredDay(QDate(2026, 12, 1), kNow), QDate(2026, 12, 1));
}
