#include "update/StripDay.h"

namespace pw::update {

namespace {

constexpr qint64 kMaxAheadSeconds = 24 * 3600;

QDate LatestDay(const QDateTime& nowUtc)
{
    return nowUtc.toUTC().addSecs(kMaxAheadSeconds).date();
}

} // namespace

QDate StripDayOf(const QDateTime& when, const QDateTime& nowUtc)
{
    const QDateTime now = nowUtc.toUTC();
    return when.toUTC() > now.addSecs(kMaxAheadSeconds) ? now.date() : when.toUTC().date();
}

QDate StripDayOf(const QDate& day, const QDateTime& nowUtc)
{
    return day.isValid() && day > LatestDay(nowUtc) ? nowUtc.toUTC().date() : day;
}

std::vector<sources::FeedItem> WithoutFutureDates(std::vector<sources::FeedItem> items,
                                                  const QDateTime& nowUtc)
{
    const QDateTime limit = nowUtc.toUTC().addSecs(kMaxAheadSeconds);
    for (sources::FeedItem& item : items)
        if (item.Date && item.Date->Utc.toUTC() > limit)
            item.Date.reset();
    return items;
}

QDate NewestStoredDay(const QDate& newest, const QDateTime& nowUtc)
{
    return newest.isValid() && newest > LatestDay(nowUtc) ? nowUtc.toUTC().date().addDays(-1) : newest;
}

} // namespace pw::update
