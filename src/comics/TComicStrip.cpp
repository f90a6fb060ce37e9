#include "comics/TComicStrip.h"

namespace pw::comics {

namespace {

// `count` ASCII digits from `from`, or -1.
int Digits(const QString& s, qsizetype from, qsizetype count)
{
    int value = 0;
    for (qsizetype i = from; i < from + count; ++i) {
        const char16_t c = s.at(i).unicode();
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

} // namespace

std::optional<TComicStrip> TComicStrip::FromFileName(const QString& fileName, const QString& dir)
{
    const qsizetype length = fileName.size();
    if (length < 12)
        return std::nullopt;
    const int year = Digits(fileName, length - 12, 4);
    const int month = Digits(fileName, length - 8, 2);
    const int day = Digits(fileName, length - 6, 2);
    if (year < 0 || month < 0 || day < 0)
        return std::nullopt;
    const QDate date(year, month, day);
    if (!date.isValid())
        return std::nullopt;

    TComicStrip strip;
    strip.FileName = fileName;
    strip.Date = date;
    strip.ComicName = fileName.left(length - 12);
    strip.dir_ = dir;
    if (!strip.dir_.isEmpty() && !strip.dir_.endsWith(QLatin1Char('/')))
        strip.dir_ += QLatin1Char('/');
    return strip;
}

QString TComicStrip::StripPath() const
{
    // The comic with the empty name keeps its strips in the comics folder itself.
    if (ComicName.isEmpty())
        return dir_ + FileName;
    return dir_ + ComicName + QLatin1Char('/') + FileName;
}

} // namespace pw::comics
