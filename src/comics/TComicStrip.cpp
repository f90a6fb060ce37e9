#include "comics/TComicStrip.h"

namespace pw::comics {

std::optional<TComicStrip> TComicStrip::FromFileName(const QString& fileName, const QString& dir)
{
    const std::u16string_view name(reinterpret_cast<const char16_t*>(fileName.utf16()),
                                   static_cast<std::size_t>(fileName.size()));
    const std::optional<StripNameTail> tail = StripNameTail::Of(name);
    if (!tail)
        return std::nullopt;
    const QDate date(tail->Year, tail->Month, tail->Day);
    if (!date.isValid())
        return std::nullopt;

    TComicStrip strip;
    strip.FileName = fileName;
    strip.Date = date;
    strip.Ordinal = tail->Ordinal;
    strip.ComicName = fileName.left(fileName.size() - static_cast<qsizetype>(tail->Length));
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
