#include "comics/StripListing.h"

#include "comics/FolderEntries.h"
#include "comics/TComicStripsDB.h"

#include <QFile>
#include <algorithm>

namespace pw::comics {

namespace {

// The order (TComicStrip::OrderOf) of a listed entry that is a strip of comic `name`, or 0.
// `rest` is what follows the comic's name; plain ASCII names, the usual case, are read
// without building any string. Names that only begin with this comic's name
// ("Name Extra20011204.gif") are no strips of it: their strip would point into another
// comic's folder.
qint64 EntryOrder(std::string_view entry, std::string_view rest, const QString& name, const QString& dir)
{
    const bool ascii =
        std::all_of(rest.begin(), rest.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (!ascii) {
        const auto strip = TComicStrip::FromFileName(
            QFile::decodeName(QByteArray(entry.data(), static_cast<qsizetype>(entry.size()))), dir);
        if (!strip || strip->ComicName != name)
            return 0;
        return strip->Order();
    }
    const std::optional<StripNameTail> tail = StripNameTail::Of(rest);
    if (!tail || tail->Length != rest.size() || !QDate::isValid(tail->Year, tail->Month, tail->Day))
        return 0;
    return TComicStrip::OrderOf(tail->Year * 10000 + tail->Month * 100 + tail->Day, tail->Ordinal);
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
        const qint64 order = EntryOrder(name, rest, comicName, dir);
        if (order == 0)
            return; // the marker file, names without a date, other comics' names
        const size_t dot = name.rfind('.');
        const std::string_view ext =
            dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
        entries_.push_back({order, TComicStripsDB::IsStoredExtension(ext), names_.size(),
                            static_cast<qsizetype>(name.size())});
        names_.append(name.data(), static_cast<qsizetype>(name.size()));
    });
    // Kept for as long as the comic is shown: the room the appends grew into goes back.
    entries_.shrink_to_fit();
    names_.squeeze();
    if (keep)
        kept_ = now;
}

std::optional<TComicStrip> StripListing::StripOf(const Entry& entry) const
{
    return TComicStrip::FromFileName(QFile::decodeName(names_.mid(entry.offset, entry.length)), dir_);
}

} // namespace pw::comics
