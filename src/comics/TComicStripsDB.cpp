#include "comics/TComicStripsDB.h"

#include "comics/TComicInfo.h"
#include "comics/TextLines.h"
#include "platform/Exception.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <cstring>
#include <dirent.h>
#include <memory>

namespace pw::comics {

namespace {

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

// Calls fn(entry name) for every entry of `folder` whose name begins with `prefix`
// (exact bytes), of every kind, in the order the file system lists them. No stat: a
// folder of thousands of strips is read in one pass.
template <class Fn> void ForEachEntry(const QString& folder, const QString& prefix, Fn&& fn)
{
    const std::unique_ptr<DIR, DirCloser> dir(::opendir(QFile::encodeName(folder).constData()));
    if (!dir)
        return;
    const QByteArray pre = QFile::encodeName(prefix);
    while (const dirent* entry = ::readdir(dir.get())) {
        if (std::strncmp(entry->d_name, pre.constData(), static_cast<size_t>(pre.size())) == 0)
            fn(QFile::decodeName(entry->d_name));
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

QByteArray ReadWhole(const QString& path, bool* unreadable)
{
    QFile file(path);
    *unreadable = false;
    if (!file.open(QIODevice::ReadOnly)) {
        *unreadable = file.exists();
        return {};
    }
    QByteArray bytes = file.readAll();
    *unreadable = file.error() != QFileDevice::NoError;
    return bytes;
}

std::vector<QByteArray> ReadMarkerForRewrite(const QString& path)
{
    bool unreadable = false;
    const QByteArray bytes = ReadWhole(path, &unreadable);
    if (unreadable) // rewriting it would lose its lines
        throw platform::Exception(QStringLiteral("Unable to read %1").arg(path));
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
    bool unreadable = false;
    const QByteArray bytes = ReadWhole(MarkerPath(comicName), &unreadable);
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
    std::optional<TComicStrip> best;
    if (!IsUsableName(comicName))
        return best;
    ForEachEntry(ListingFolder(dir_, comicName), comicName, [&](const QString& entry) {
        const QStringView ext = QStringView(entry).mid(entry.lastIndexOf(QLatin1Char('.')) + 1);
        if (!entry.contains(QLatin1Char('.')) || (ext != u"gif" && ext != u"jpg"))
            return;
        std::optional<TComicStrip> strip = StripOf(entry, comicName, dir_);
        if (strip && (!best || IsLater(*strip, *best)))
            best = std::move(strip);
    });
    return best;
}

std::optional<TComicStrip> TComicStripsDB::NextStrip(const TComicInfo& comic) const
{
    std::optional<TComicStrip> best;
    if (!comic.CurrentStrip || !IsUsableName(comic.Name))
        return best;
    const TComicStrip& current = *comic.CurrentStrip;
    const QString marker = comic.Name + QStringLiteral(".unr");
    ForEachEntry(ListingFolder(dir_, comic.Name), comic.Name, [&](const QString& entry) {
        if (entry == marker)
            return;
        std::optional<TComicStrip> strip = StripOf(entry, comic.Name, dir_);
        if (strip && IsLater(*strip, current) && (!best || IsLater(*best, *strip)))
            best = std::move(strip);
    });
    return best;
}

std::optional<TComicStrip> TComicStripsDB::PreviousStrip(const TComicInfo& comic) const
{
    std::optional<TComicStrip> best;
    if (!comic.CurrentStrip || !IsUsableName(comic.Name))
        return best;
    const TComicStrip& current = *comic.CurrentStrip;
    const QString marker = comic.Name + QStringLiteral(".unr");
    ForEachEntry(ListingFolder(dir_, comic.Name), comic.Name, [&](const QString& entry) {
        if (entry == marker)
            return;
        std::optional<TComicStrip> strip = StripOf(entry, comic.Name, dir_);
        if (strip && IsLater(current, *strip) && (!best || IsLater(*strip, *best)))
            best = std::move(strip);
    });
    return best;
}

bool TComicStripsDB::HasEntryFor(const QString& comicName, const QString& datePart) const
{
    if (!IsUsableName(comicName))
        return false;
    const QString wanted = comicName + datePart;
    bool found = false;
    ForEachEntry(ListingFolder(dir_, comicName), wanted, [&](const QString& entry) {
        if (entry.startsWith(wanted) &&
            (entry.size() == wanted.size() || entry.at(wanted.size()) == QLatin1Char('.')))
            found = true;
    });
    return found;
}

} // namespace pw::comics
