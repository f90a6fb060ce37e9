#include "comics/TComicStripsDB.h"

#include "comics/TComicInfo.h"
#include "comics/TextLines.h"
#include "platform/Exception.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <memory>

namespace pw::comics {

namespace {

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

// Calls fn(entry name, the bytes after the prefix) for every entry of `folder` whose name
// begins with `prefix` (exact bytes), of every kind, in the order the file system lists
// them. No stat: a folder of thousands of strips is read in one pass.
template <class Fn> void ForEachEntry(const QString& folder, const QString& prefix, Fn&& fn)
{
    const std::unique_ptr<DIR, DirCloser> dir(::opendir(QFile::encodeName(folder).constData()));
    if (!dir)
        return;
    const QByteArray pre = QFile::encodeName(prefix);
    while (const dirent* entry = ::readdir(dir.get())) {
        if (std::strncmp(entry->d_name, pre.constData(), static_cast<size_t>(pre.size())) != 0)
            continue;
        const std::string_view name(entry->d_name);
        fn(name, name.substr(static_cast<size_t>(pre.size())));
    }
}

QString ListingFolder(const QString& dir, const QString& comicName)
{
    return comicName.isEmpty() ? dir : dir + comicName;
}

// The strip an entry of comic `name`'s folder stands for. Names that hold no date, and
// names that only begin with this comic's name ("Name Extra20011204.gif"), are no strips
// of it: their strip would point into another comic's folder.
std::optional<TComicStrip> StripOf(const QString& entry, const QString& name, const QString& dir)
{
    std::optional<TComicStrip> strip = TComicStrip::FromFileName(entry, dir);
    if (!strip || strip->ComicName != name)
        return std::nullopt;
    return strip;
}

int DateKey(const QDate& d)
{
    return d.year() * 10000 + d.month() * 100 + d.day();
}

// The date (as yyyymmdd) of a listed entry that is a strip of comic `name`, or 0. `rest` is
// what follows the comic's name; plain ASCII names, the usual case, are read without
// building any string.
int EntryDate(std::string_view entry, std::string_view rest, const QString& name, const QString& dir)
{
    const bool ascii =
        std::all_of(rest.begin(), rest.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (!ascii) {
        const auto strip = StripOf(
            QFile::decodeName(QByteArray(entry.data(), static_cast<qsizetype>(entry.size()))), name, dir);
        return strip ? DateKey(strip->Date) : 0;
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

// The best entry so far; the strip is made only for the winner.
struct Best {
    int date = 0;
    QByteArray entry;
    void Take(int d, std::string_view e)
    {
        date = d;
        entry = QByteArray(e.data(), static_cast<qsizetype>(e.size()));
    }
    std::optional<TComicStrip> Strip(const QString& dir) const
    {
        if (date == 0)
            return std::nullopt;
        return TComicStrip::FromFileName(QFile::decodeName(entry), dir);
    }
};

// The file's bytes; a missing file reads as empty. `error` is set when the file exists but
// cannot be read.
QByteArray ReadWhole(const QString& path, QString* error)
{
    QFile file(path);
    error->clear();
    if (!file.open(QIODevice::ReadOnly)) {
        if (file.exists())
            *error = file.errorString();
        return {};
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        *error = file.errorString();
    return bytes;
}

std::vector<QByteArray> ReadMarkerForRewrite(const QString& path)
{
    QString error;
    const QByteArray bytes = ReadWhole(path, &error);
    if (!error.isEmpty()) // rewriting it would lose its lines
        throw platform::Exception(QStringLiteral("Unable to read %1: %2").arg(path, error));
    std::vector<QByteArray> lines;
    for (const std::string_view line : SplitLines(bytes))
        lines.emplace_back(line.data(), static_cast<qsizetype>(line.size()));
    return lines;
}

void WriteMarker(const QString& path, const std::vector<QByteArray>& lines)
{
    QByteArray bytes;
    for (const QByteArray& line : lines)
        bytes += line + "\r\n";
    QSaveFile file(path);
    // Unbuffered: a buffered QSaveFile renames even when its final flush fails.
    if (file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && file.write(bytes) == bytes.size() &&
        file.commit())
        return;
    const QString reason = file.errorString();
    file.cancelWriting();
    throw platform::Exception(QStringLiteral("Unable to write to %1: %2").arg(path, reason));
}

void RequireUsable(const QString& comicName)
{
    if (!TComicStripsDB::IsUsableName(comicName))
        throw platform::Exception(
            QStringLiteral("The comic name \"%1\" cannot be used as a folder name").arg(comicName));
}

} // namespace

TComicStripsDB::TComicStripsDB(const QString& folder) : dir_(folder)
{
    if (!folder.isEmpty())
        QDir().mkdir(folder); // fails harmlessly when it exists; other failures show later as no strips
    if (!dir_.endsWith(QLatin1Char('/')))
        dir_ += QLatin1Char('/');
}

QString TComicStripsDB::ComicFolder(const QString& comicName) const
{
    return dir_ + comicName;
}

QString TComicStripsDB::MarkerPath(const QString& comicName) const
{
    if (comicName.isEmpty())
        return dir_ + QStringLiteral(".unr");
    return dir_ + comicName + QLatin1Char('/') + comicName + QStringLiteral(".unr");
}

bool TComicStripsDB::IsLater(const TComicStrip& a, const TComicStrip& b)
{
    return a.Date > b.Date;
}

bool TComicStripsDB::IsUsableName(const QString& comicName)
{
    return !comicName.contains(QLatin1Char('/')) && !comicName.contains(QChar(0)) &&
           comicName != QLatin1String(".") && comicName != QLatin1String("..");
}

void TComicStripsDB::MarkUnread(const TComicStrip& strip) const
{
    RequireUsable(strip.ComicName);
    const QString path = MarkerPath(strip.ComicName);
    std::vector<QByteArray> lines = ReadMarkerForRewrite(path);
    lines.push_back(QFile::encodeName(strip.FileName));
    WriteMarker(path, lines);
}

void TComicStripsDB::MarkRead(const TComicStrip& strip) const
{
    RequireUsable(strip.ComicName);
    const QString path = MarkerPath(strip.ComicName);
    std::vector<QByteArray> lines = ReadMarkerForRewrite(path);
    const QByteArray name = QFile::encodeName(strip.FileName);
    for (auto it = lines.begin(); it != lines.end(); ++it) {
        if (*it == name) {
            lines.erase(it);
            break;
        }
    }
    WriteMarker(path, lines); // always, so that the file exists afterwards
}

std::optional<TComicStrip> TComicStripsDB::FirstUnreadStrip(const QString& comicName) const
{
    if (!IsUsableName(comicName))
        return std::nullopt;
    QString error; // an unreadable marker lists nothing
    const QByteArray bytes = ReadWhole(MarkerPath(comicName), &error);
    // Lines that name no strip of this comic are passed over rather than shown as broken.
    for (const std::string_view line : SplitLines(bytes)) {
        const QString name = QFile::decodeName(QByteArray(line.data(), static_cast<qsizetype>(line.size())));
        if (std::optional<TComicStrip> strip = StripOf(name, comicName, dir_))
            return strip;
    }
    return std::nullopt;
}

std::optional<TComicStrip> TComicStripsDB::NewestStrip(const QString& comicName) const
{
    if (!IsUsableName(comicName))
        return std::nullopt;
    Best best;
    ForEachEntry(ListingFolder(dir_, comicName), comicName,
                 [&](std::string_view entry, std::string_view rest) {
                     // Only "gif" and "jpg" after the last "." count, in exactly this case.
                     const size_t dot = entry.rfind('.');
                     if (dot == std::string_view::npos)
                         return;
                     const std::string_view ext = entry.substr(dot + 1);
                     if (ext != "gif" && ext != "jpg")
                         return;
                     const int date = EntryDate(entry, rest, comicName, dir_);
                     if (date > best.date)
                         best.Take(date, entry);
                 });
    return best.Strip(dir_);
}

std::optional<TComicStrip> TComicStripsDB::NextStrip(const TComicInfo& comic) const
{
    return Neighbour(comic, true);
}

std::optional<TComicStrip> TComicStripsDB::PreviousStrip(const TComicInfo& comic) const
{
    return Neighbour(comic, false);
}

std::optional<TComicStrip> TComicStripsDB::Neighbour(const TComicInfo& comic, bool later) const
{
    if (!comic.CurrentStrip || !IsUsableName(comic.Name))
        return std::nullopt;
    const int current = DateKey(comic.CurrentStrip->Date);
    Best best;
    ForEachEntry(ListingFolder(dir_, comic.Name), comic.Name,
                 [&](std::string_view entry, std::string_view rest) {
                     if (rest == ".unr")
                         return; // the marker file
                     const int date = EntryDate(entry, rest, comic.Name, dir_);
                     if (date == 0)
                         return;
                     // The nearest date beyond the current one; the first listed wins a tie.
                     if (later ? (date > current && (best.date == 0 || date < best.date))
                               : (date < current && date > best.date))
                         best.Take(date, entry);
                 });
    return best.Strip(dir_);
}

bool TComicStripsDB::HasEntryFor(const QString& comicName, const QString& datePart) const
{
    if (!IsUsableName(comicName))
        return false;
    bool found = false;
    ForEachEntry(ListingFolder(dir_, comicName), comicName + datePart,
                 [&](std::string_view, std::string_view rest) {
                     found = found || rest.empty() || rest.front() == '.';
                 });
    return found;
}

} // namespace pw::comics
