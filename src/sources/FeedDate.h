#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <optional>

namespace pw::sources {

// A date read from a feed, always in UTC. Format names the reader that took it
// ("rfc822", "w3dtf" or "asctime").
struct FeedDate {
    QDateTime Utc;
    const char* Format = "";

    QDate UtcDay() const { return Utc.date(); }
};

// Reads the date texts feeds really send: RFC 822/2822 with its common deviations
// (two-digit years, named zones, "Etc/GMT", "GMT-01:01", no seconds, no time, long month
// names, extra commas, day and month swapped, no blank after the comma), W3C-DTF /
// RFC 3339 (reduced "2003-12" and "2003", fractions, a blank for "T") and C's asctime
// ("Sun Jan  4 16:29:06 2004", also with a zone before the year). Nullopt for anything
// else and for dates outside the years 1000 to 9999. A missing zone means UTC.
std::optional<FeedDate> ParseFeedDate(const QString& text);

} // namespace pw::sources
