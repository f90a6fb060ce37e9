#pragma once

#include <QString>
#include <optional>

namespace pw::update {

// The date of a "Last-modified:" header line, as the update job uses it.
struct TLastModified {
    QString DayToken;  // padded to two characters
    QString MonthName; // as received
    QString YearToken; // as received
    quint16 Year = 0;
    quint16 Month = 0; // 0 for a month name outside Jan..Dec
    quint16 Day = 0;

    // YYYYMMDD as used in strip file names (year without leading zeros).
    QString DatePart() const;
};

// True when the header line is a Last-modified field (name matched without case).
bool IsLastModifiedLine(const QString& line);

// "Jan".."Dec" (exact case) give 1..12, anything else 0.
quint16 MonthFromName(const QString& name);

// Parses "Last-modified: Tue, 07 Mar 2000 09:15:02 GMT": drops the field name and the
// weekday, then takes day, month name and year, each after exactly one blank. Nullopt,
// with a reason in *error, for missing tokens, doubled blanks, non-numbers, a day or
// year of 0, a day/year that does not fit a file name, a year before 1000, or a day
// the month does not have (up to 31 for an unknown month name).
std::optional<TLastModified> ParseLastModified(const QString& line, QString* error = nullptr);

} // namespace pw::update
