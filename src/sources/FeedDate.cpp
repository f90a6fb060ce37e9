#include "sources/FeedDate.h"

#include <QRegularExpression>
#include <QStringList>
#include <array>

namespace pw::sources {

namespace {

constexpr int kMinYear = 1000;
constexpr int kMaxYear = 9999;

struct Clock {
    int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
};

bool AllDigits(const QString& s)
{
    if (s.isEmpty())
        return false;
    for (QChar c : s)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

bool AllLetters(const QString& s)
{
    if (s.isEmpty())
        return false;
    for (QChar c : s) {
        const char16_t u = c.unicode();
        if (!((u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || u == u'.'))
            return false;
    }
    return true;
}

// "Jan", "jan.", "January", "Sept": at least three letters of one month's English name.
int MonthNumber(QString token)
{
    static const std::array<const char*, 12> names = {"january",   "february", "march",    "april",
                                                      "may",       "june",     "july",     "august",
                                                      "september", "october",  "november", "december"};
    if (token.endsWith(QLatin1Char('.')))
        token.chop(1);
    token = token.toLower();
    if (token.size() < 3 || !AllLetters(token))
        return 0;
    for (int i = 0; i < 12; ++i)
        if (QLatin1String(names[i]).startsWith(token))
            return i + 1;
    return 0;
}

int YearNumber(const QString& token)
{
    if (!AllDigits(token) || token.size() > 4)
        return 0;
    const int n = token.toInt();
    if (token.size() == 2)
        return n < 50 ? 2000 + n : 1900 + n; // the RFC 2822 reading of two-digit years
    if (token.size() == 3)
        return 1900 + n;
    return token.size() == 4 ? n : 0;
}

int DayNumber(const QString& token)
{
    return AllDigits(token) && token.size() <= 2 ? token.toInt() : 0;
}

// "HH:MM", "HH:MM:SS", "HH:MM:SS.fff".
std::optional<Clock> ClockFrom(const QString& token)
{
    static const QRegularExpression re(
        QStringLiteral("^(\\d{1,2}):(\\d{2})(?::(\\d{2})(?:[.,](\\d{1,9}))?)?$"));
    const QRegularExpressionMatch m = re.match(token);
    if (!m.hasMatch())
        return std::nullopt;
    Clock c;
    c.Hour = m.captured(1).toInt();
    c.Minute = m.captured(2).toInt();
    c.Second = m.captured(3).isEmpty() ? 0 : m.captured(3).toInt();
    c.Millisecond = m.captured(4).isEmpty() ? 0 : m.captured(4).left(3).leftJustified(3, u'0').toInt();
    if (c.Second == 60)
        c.Second = 59; // a leap second stays on its day
    if (c.Hour > 23 || c.Minute > 59 || c.Second > 59)
        return std::nullopt;
    return c;
}

// "+0100", "-01:01", "+01": seconds east of UTC.
std::optional<int> NumericOffset(const QString& text)
{
    static const QRegularExpression re(QStringLiteral("^([+-])(\\d{2}):?(\\d{2})?$"));
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const int hours = m.captured(2).toInt();
    const int minutes = m.captured(3).isEmpty() ? 0 : m.captured(3).toInt();
    if (hours > 23 || minutes > 59)
        return std::nullopt;
    const int seconds = hours * 3600 + minutes * 60;
    return m.captured(1) == QLatin1String("-") ? -seconds : seconds;
}

// Zone names feeds use, in minutes east of UTC: the North American ones with their
// generic forms ("PT", "ET"), European ones, and RFC 822's single military letters (with
// RFC 822's own signs, "A" is -1 and "N" is +1, as long-standing feed parsers read them;
// "J" is no zone).
std::optional<int> NamedOffset(const QString& name)
{
    struct Zone {
        const char* Name;
        int Minutes;
    };
    static constexpr Zone zones[] = {
        {"z", 0},       {"ut", 0},      {"utc", 0},    {"gmt", 0},    {"etc/gmt", 0}, {"etc/utc", 0},
        {"nst", -210},  {"ndt", -150},  {"nt", -210},  {"ast", -240}, {"adt", -180},  {"at", -240},
        {"est", -300},  {"edt", -240},  {"et", -300},  {"cst", -360}, {"cdt", -300},  {"ct", -360},
        {"mst", -420},  {"mdt", -360},  {"mt", -420},  {"pst", -480}, {"pdt", -420},  {"pt", -480},
        {"akst", -540}, {"akdt", -480}, {"akt", -540}, {"hst", -600}, {"hast", -600}, {"hadt", -540},
        {"wet", 0},     {"west", 60},   {"bst", 60},   {"ist", 60},   {"cet", 60},    {"cest", 120},
        {"met", 60},    {"mest", 120},  {"eet", 120},  {"eest", 180}, {"msk", 180},
    };
    const QString lower = name.toLower();
    if (lower.size() == 1 && lower[0] >= u'a' && lower[0] <= u'y' && lower[0] != u'j') {
        const char16_t c = lower[0].unicode();
        const int hours = c <= u'i' ? -(c - u'a' + 1) : c <= u'm' ? -(c - u'k' + 10) : c - u'n' + 1;
        return hours * 3600;
    }
    for (const Zone& z : zones)
        if (lower == QLatin1String(z.Name))
            return z.Minutes * 60;
    return std::nullopt;
}

// A named zone, a numeric offset, or both run together ("GMT-01:01", "Etc/GMT+0100").
std::optional<int> ZoneOffset(const QString& token)
{
    if (const auto n = NamedOffset(token))
        return n;
    if (const auto n = NumericOffset(token))
        return n;
    const qsizetype sign = token.indexOf(QRegularExpression(QStringLiteral("[+-]")));
    if (sign > 0) {
        const auto base = NamedOffset(token.left(sign));
        const auto extra = NumericOffset(token.mid(sign));
        if (base && extra && *base == 0)
            return *extra;
    }
    return std::nullopt;
}

std::optional<QDateTime> Assemble(int year, int month, int day, const Clock& clock, int offsetSeconds)
{
    if (year < kMinYear || year > kMaxYear)
        return std::nullopt;
    const QDate date(year, month, day);
    if (!date.isValid())
        return std::nullopt;
    const QDateTime local(date, QTime(clock.Hour, clock.Minute, clock.Second, clock.Millisecond), Qt::UTC);
    const QDateTime utc = local.addSecs(-offsetSeconds);
    if (!utc.isValid() || utc.date().year() < kMinYear || utc.date().year() > kMaxYear)
        return std::nullopt;
    return utc;
}

QStringList Tokens(QString text)
{
    text.replace(QLatin1Char(','), QLatin1Char(' '));
    QStringList tokens = text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    // A zone comment such as "(PST)" after the offset adds nothing.
    while (!tokens.isEmpty() && tokens.last().startsWith(QLatin1Char('(')) &&
           tokens.last().endsWith(QLatin1Char(')')))
        tokens.removeLast();
    return tokens;
}

// Drops a leading weekday ("Thu", "Thursday"): any word that is not a month.
void DropWeekday(QStringList& tokens)
{
    if (!tokens.isEmpty() && AllLetters(tokens.first()) && MonthNumber(tokens.first()) == 0)
        tokens.removeFirst();
}

std::optional<QDateTime> Rfc822(const QString& text)
{
    QStringList t = Tokens(text);
    DropWeekday(t);
    if (t.size() < 3 || t.size() > 5)
        return std::nullopt;
    int day = DayNumber(t[0]);
    int month = MonthNumber(t[1]);
    if (day == 0 || month == 0) { // "Jan 04 2004": day and month swapped
        day = DayNumber(t[1]);
        month = MonthNumber(t[0]);
    }
    const int year = YearNumber(t[2]);
    if (day == 0 || month == 0 || year == 0)
        return std::nullopt;
    Clock clock;
    int offset = 0;
    qsizetype next = 3;
    if (next < t.size() && t[next].contains(QLatin1Char(':'))) {
        const auto c = ClockFrom(t[next]);
        if (!c)
            return std::nullopt;
        clock = *c;
        ++next;
    }
    if (next < t.size()) {
        const QString& zone = t[next];
        const auto o = ZoneOffset(zone);
        if (o)
            offset = *o;
        else if (!AllLetters(zone) || zone.size() > 5)
            return std::nullopt; // an unknown zone name counts as UTC, anything else is no date
        ++next;
    }
    if (next != t.size())
        return std::nullopt;
    return Assemble(year, month, day, clock, offset);
}

std::optional<QDateTime> Asctime(const QString& text)
{
    QStringList t = Tokens(text);
    DropWeekday(t);
    if (t.size() != 4 && t.size() != 5)
        return std::nullopt;
    const int month = MonthNumber(t[0]);
    const int day = DayNumber(t[1]);
    const auto clock = ClockFrom(t[2]);
    const int year = t.last().size() == 4 ? YearNumber(t.last()) : 0;
    if (month == 0 || day == 0 || !clock || year == 0)
        return std::nullopt;
    int offset = 0;
    if (t.size() == 5) {
        const auto o = ZoneOffset(t[3]);
        if (!o)
            return std::nullopt;
        offset = *o;
    }
    return Assemble(year, month, day, *clock, offset);
}

std::optional<QDateTime> W3cdtf(const QString& text)
{
    static const QRegularExpression re(QStringLiteral(
        "^(\\d{4})(?:-(\\d{2})(?:-(\\d{2})(?:[Tt ](\\d{2}):(\\d{2})(?::(\\d{2})(?:[.,](\\d{1,9}))?)?"
        " ?(Z|z|[+-]\\d{2}(?::?\\d{2})?)?)?)?)?$"));
    const QRegularExpressionMatch m = re.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    const int year = m.captured(1).toInt();
    const int month = m.captured(2).isEmpty() ? 1 : m.captured(2).toInt();
    const int day = m.captured(3).isEmpty() ? 1 : m.captured(3).toInt();
    Clock clock;
    if (!m.captured(4).isEmpty()) {
        QString hms = m.captured(4) + QLatin1Char(':') + m.captured(5);
        if (!m.captured(6).isEmpty())
            hms += QLatin1Char(':') + m.captured(6);
        if (!m.captured(7).isEmpty())
            hms += QLatin1Char('.') + m.captured(7);
        const auto c = ClockFrom(hms);
        if (!c)
            return std::nullopt;
        clock = *c;
    }
    int offset = 0;
    const QString zone = m.captured(8);
    if (!zone.isEmpty() && zone.compare(QLatin1String("z"), Qt::CaseInsensitive) != 0) {
        const auto o = NumericOffset(zone);
        if (!o)
            return std::nullopt;
        offset = *o;
    }
    return Assemble(year, month, day, clock, offset);
}

struct Reader {
    const char* Name;
    std::optional<QDateTime> (*Read)(const QString&);
};

// Tried in this order; each refuses what it does not own.
constexpr Reader kReaders[] = {{"w3dtf", W3cdtf}, {"rfc822", Rfc822}, {"asctime", Asctime}};

} // namespace

std::optional<FeedDate> ParseFeedDate(const QString& text)
{
    if (text.size() > 200)
        return std::nullopt; // no date is that long; keeps the patterns' work small
    for (const Reader& r : kReaders)
        if (const auto when = r.Read(text.trimmed()))
            return FeedDate{*when, r.Name};
    return std::nullopt;
}

} // namespace pw::sources
