#include "comics/StripListing.h"

#include "comics/FolderEntries.h"
#include "comics/TComicStripsDB.h"

#include <QFile>
#include <algorithm>

namespace pw::comics {

namespace {

// The date (as yyyymmdd) of a listed entry that is a strip of comic `name`, or 0. `rest` is
// what follows the comic's name; plain ASCII names, the usual case, are read without
// building any string. Names that only begin with this comic's name ("Name Extra20011204.gif")
// are no strips of it: their strip would point into another comic's folder.
int EntryDate(std::string_view entry, std::string_view rest, const QString& name, const QString& dir)
{
    const bool ascii =
        std::all_of(rest.begin(), rest.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (!ascii) {
        const auto strip = TComicStrip::FromFileName(
            QFile::decodeName(QByteArray(entry.data(), static_cast<qsizetype>(entry.size()))), dir);
        if (!strip || strip->ComicName != name)
            return 0;
        return strip->Date.year() * 10000 + strip->Date.month() * 100 + strip->Date.day();
    }
    if (rest.size() != 12)
        return 0;
    int value[3] = {0, 0, 0};
    const int widths[3] = {4, 2, 2};
    size_t at = 0;
    for (int part = 0; part < 3; ++part) {
        for (int i = 0; i < widths[part]; ++i, ++at) {
            if (rest[at] < '0' || rest[at] > '9')
                return 0;
            value[part] = value[part] * 10 + (rest[at] - '0');
        }
    }
    if (!QDate::isValid(value[0], value[1], value[2]))
        return 0;
    return value[0] * 10000 + value[1] * 100 + value[2];
}

} // namespace

void StripListing::Refresh(const QString& folder, const QString& comicName, const QString& dir)
{
    // The stamp comes first: a change while the folder is being read gives it a later one.
    const std::optional<platform::FileStamp> now = platform::FileStamp::Of(QFile::encodeName(folder));
    if (now && kept_ && *now == *kept_ && dir == dir_)
        return;
    const bool keep = now && now->Settled();
    kept_.reset();
    entries_.clear();
    names_.clear();
    dir_ = dir;
    ForEachFolderEntry(folder, comicName, [&](std::string_view name, std::string_view rest) {
        const int date = EntryDate(name, rest, comicName, dir);
        if (date == 0)
            return; // the marker file, names without a date, other comics' names
        const size_t dot = name.rfind('.');
        const std::string_view ext =
            dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
        entries_.push_back(
            {date, TComicStripsDB::IsStoredExtension(ext), names_.size(), static_cast<qsizetype>(name.size())});
        names_.append(name.data(), static_cast<qsizetype>(name.size()));
    });
    if (keep)
        kept_ = now;
}

std::optional<TComicStrip> StripListing::StripOf(const Entry& entry) const
{
    return TComicStrip::FromFileName(QFile::decodeName(names_.mid(entry.offset, entry.length)), dir_);
}

} // namespace pw::comics
