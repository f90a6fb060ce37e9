#pragma once

#include "sources/FeedReader.h"

#include <QDate>
#include <QDateTime>
#include <vector>

namespace pw::update {

// The day a strip is stored under is never more than a day after the update: a wrong
// clock or a made-up date ("9999-12-31") would otherwise name a strip that no real one
// could ever follow. Such a date counts as the update's own (UTC) day.

// The day of an instant (a feed item's date).
QDate StripDayOf(const QDateTime& when, const QDateTime& nowUtc);
// A day without a time (a page's Last-modified date).
QDate StripDayOf(const QDate& day, const QDateTime& nowUtc);
// Items dated beyond the limit become undated: they belong to the update's day.
std::vector<sources::FeedItem> WithoutFutureDates(std::vector<sources::FeedItem> items,
                                                  const QDateTime& nowUtc);
// The newest stored strip's day as the limit for new items: one stored under a future date
// (before these checks) holds back nothing up to the update's day.
QDate NewestStoredDay(const QDate& newest, const QDateTime& nowUtc);

} // namespace pw::update
