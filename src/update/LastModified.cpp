#include "update/LastModified.h"

#include "update/StripNaming.h"

#include <QDate>
#include <array>

namespace pw::update {

namespace {

constexpr qsizetype kFieldLength = 15; // "Last-modified: "

bool AllDigits(const QString& s)
{
    if (s.isEmpty())
        return false;
    for (QChar c : s)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

std::optional<TLastModified> Fail(QString* error, const char* why)
{
    if (error)
        *error = QString::fromLatin1(why);
    return std::nullopt;
}

// Takes one token: one leading character (the blank) dropped, then up to the next blank.
bool TakeToken(QString& rest, QString& token)
{
    if (rest.isEmpty() || rest.front() != QLatin1Char(' '))
        return false;
    rest.remove(0, 1);
    const qsizetype blank = rest.indexOf(QLatin1Char(' '));
    token = blank < 0 ? rest : rest.left(blank);
    rest = blank < 0 ? QString() : rest.mid(blank);
    return !token.isEmpty();
}

} // namespace

QString TLastModified::DatePart() const
{
    // The same digits as the strip file name, so the check finds what was stored.
    return StripFileNameFor(QString(), Year, Month, Day, QString());
}

bool IsLastModifiedLine(const QString& line)
{
    return line.startsWith(QLatin1String("Last-modified:"), Qt::CaseInsensitive);
}

quint16 MonthFromName(const QString& name)
{
    static const std::array<const char*, 12> names = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (size_t i = 0; i < names.size(); ++i)
        if (name == QLatin1String(names[i]))
            return static_cast<quint16>(i + 1);
    return 0;
}

std::optional<TLastModified> ParseLastModified(const QString& line, QString* error)
{
    if (!IsLastModifiedLine(line))
        return Fail(error, "not a Last-modified line");
    QString rest = line.mid(kFieldLength);
    const qsizetype blank = rest.indexOf(QLatin1Char(' '));
    if (blank < 0)
        return Fail(error, "no date after the weekday");
    rest = rest.mid(blank);

    TLastModified d;
    if (!TakeToken(rest, d.DayToken) || !TakeToken(rest, d.MonthName) || !TakeToken(rest, d.YearToken))
        return Fail(error, "date tokens missing");
    if (!AllDigits(d.DayToken) || !AllDigits(d.YearToken))
        return Fail(error, "day or year is not a number");
    if (d.DayToken.size() == 1)
        d.DayToken.prepend(QLatin1Char('0'));
    // The tokens become part of a file name: keep them to what a date can be.
    if (d.DayToken.size() != 2 || d.YearToken.size() > 4)
        return Fail(error, "day or year out of range");
    d.Day = static_cast<quint16>(d.DayToken.toUInt());
    d.Year = static_cast<quint16>(d.YearToken.toUInt());
    d.Month = MonthFromName(d.MonthName);
    if (d.Day == 0 || d.Year == 0)
        return Fail(error, "day or year is zero");
    // A strip is stored under this date and found again by it: a name the strip store
    // cannot read back would be a strip that is saved and never seen.
    if (d.Year < 1000)
        return Fail(error, "year before 1000");
    if (d.Month != 0 ? !QDate::isValid(d.Year, d.Month, d.Day) : d.Day > 31)
        return Fail(error, "not a calendar date");
    return d;
}

} // namespace pw::update
