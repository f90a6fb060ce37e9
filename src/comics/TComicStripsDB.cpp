#include "comics/TComicStripsDB.h"

#include "comics/TComicInfo.h"
#include "comics/TextLines.h"
#include "platform/Exception.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace pw::comics {

namespace {

// Calls fn(entry name, the bytes after the prefix) for every entry of `folder` whose name
// begins with `prefix` (exact bytes), of every kind, in the order the file system lists
// them. No stat, and the folder read straight with getdents64 (opendir would stat it
// too): a folder is listed at least once per comic per update.
template <class Fn> void ForEachEntry(const QString& folder, const QString& prefix, Fn&& fn)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    const std::unique_ptr<const int, void (*)(const int*)> closer(&fd, [](const int* f) { ::close(*f); });
    const QByteArray pre = QFile::encodeName(prefix);
    alignas(dirent64) char buffer[32768];
    for (;;) {
        const ssize_t got = ::getdents64(fd, buffer, sizeof buffer);
        if (got <= 0)
            return;
        for (ssize_t at = 0; at < got;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
            at += entry->d_reclen;
            if (std::strncmp(entry->d_name, pre.constData(), static_cast<size_t>(pre.size())) != 0)
                continue;
            const std::string_view name(entry->d_name);
            fn(name, name.substr(static_cast<size_t>(pre.size())));
        }
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
// cannot be read; `missing`, when given, tells whether it was missing.
QByteArray ReadWhole(const QString& path, QString* error, bool* missing = nullptr)
{
    error->clear();
    if (missing)
        *missing = false;
    // Opened by hand: errno tells a missing file from an unreadable one without a second
    // look at the path.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT && errno != ENOTDIR)
            *error = QString::fromLocal8Bit(std::strerror(errno));
        else if (missing)
            *missing = true;
        return {};
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        *error = file.errorString();
        return {};
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        *error = file.errorString();
    return bytes;
}

// `missing` tells whether there was no marker to read.
std::vector<QByteArray> ReadMarkerForRewrite(const QString& path, bool* missing)
{
    QString error;
    const QByteArray bytes = ReadWhole(path, &error, missing);
    if (!error.isEmpty()) // rewriting it would lose its lines
        throw platform::Exception(QStringLiteral("Unable to read %1: %2").arg(path, error));
    std::vector<QByteArray> lines;
    for (const std::string_view line : SplitLines(bytes))
        lines.emplace_back(line.data(), static_cast<qsizetype>(line.size()));
    return lines;
}

// The new list goes into a fresh file beside the marker, which is then renamed over it:
// whoever reads the marker, even after the program was killed halfway, sees the old list
// or the new one. No fdatasync: the list changes for every new strip, the strip files
// themselves are not synced either, and losing the newest unread mark to a power cut
// costs far less than a disk flush per strip.
// `wasMissing`: the marker was just found missing, so there is nothing to look at.
void WriteMarker(const QString& path, const std::vector<QByteArray>& lines, bool wasMissing)
{
    QByteArray bytes;
    for (const QByteArray& line : lines)
        bytes += line + "\r\n";
    const QByteArray target = QFile::encodeName(path);
    auto fail = [&path](int error) {
        throw platform::Exception(QStringLiteral("Unable to write to %1: %2")
                                      .arg(path, QString::fromLocal8Bit(std::strerror(error))));
    };

    struct stat existing {};
    const bool exists = !wasMissing && ::stat(target.constData(), &existing) == 0;
    if (exists && ::access(target.constData(), W_OK) != 0)
        fail(errno);
    // Hidden (leading dot) and unique to this process, beside the marker so that the
    // rename stays on one file system.
    static std::atomic<unsigned> serial{0};
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray temp = target.left(slash + 1) + '.' + target.mid(slash + 1) + '.' +
                            QByteArray::number(::getpid()) + '.' + QByteArray::number(serial++) + ".tmp";
    // Until the old file's permissions are copied nobody else may read the new one.
    const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, exists ? 0600 : 0666);
    if (fd < 0)
        fail(errno);
    int error = 0;
    for (qsizetype done = 0; done < bytes.size() && error == 0;) {
        const ssize_t n = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (n == 0)
            error = EIO;
        else if (errno != EINTR)
            error = errno;
    }
    if (error == 0 && exists && ::fchmod(fd, existing.st_mode & 07777) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temp.constData(), target.constData()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temp.constData());
        fail(error);
    }
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
    bool missing = false;
    std::vector<QByteArray> lines = ReadMarkerForRewrite(path, &missing);
    lines.push_back(QFile::encodeName(strip.FileName));
    WriteMarker(path, lines, missing);
}

void TComicStripsDB::MarkRead(const TComicStrip& strip) const
{
    RequireUsable(strip.ComicName);
    const QString path = MarkerPath(strip.ComicName);
    bool missing = false;
    std::vector<QByteArray> lines = ReadMarkerForRewrite(path, &missing);
    const QByteArray name = QFile::encodeName(strip.FileName);
    for (auto it = lines.begin(); it != lines.end(); ++it) {
        if (*it == name) {
            lines.erase(it);
            break;
        }
    }
    WriteMarker(path, lines, missing); // always, so that the file exists afterwards
}

std::optional<TComicStrip> TComicStripsDB::FirstUnreadStrip(const QString& comicName) const
{
    std::optional<TComicStrip> first;
    ForEachUnread(comicName, [&](TComicStrip&& strip) {
        first = std::move(strip);
        return false;
    });
    return first;
}

int TComicStripsDB::UnreadCount(const QString& comicName) const
{
    int count = 0;
    ForEachUnread(comicName, [&](TComicStrip&&) {
        ++count;
        return true;
    });
    return count;
}

void TComicStripsDB::ForEachUnread(const QString& comicName,
                                   const std::function<bool(TComicStrip&&)>& visit) const
{
    if (!IsUsableName(comicName))
        return;
    QString error; // an unreadable marker lists nothing
    const QByteArray bytes = ReadWhole(MarkerPath(comicName), &error);
    // Lines that name no strip of this comic are passed over rather than shown as broken.
    for (const std::string_view line : SplitLines(bytes)) {
        const QString name = QFile::decodeName(QByteArray(line.data(), static_cast<qsizetype>(line.size())));
        std::optional<TComicStrip> strip = StripOf(name, comicName, dir_);
        if (strip && !visit(std::move(*strip)))
            return;
    }
}

bool TComicStripsDB::IsStoredExtension(std::string_view extension)
{
    return extension == "gif" || extension == "jpg" || extension == "png";
}

std::optional<TComicStrip> TComicStripsDB::NewestStrip(const QString& comicName) const
{
    if (!IsUsableName(comicName))
        return std::nullopt;
    Best best;
    ForEachEntry(ListingFolder(dir_, comicName), comicName,
                 [&](std::string_view entry, std::string_view rest) {
                     // Only the extensions strips are stored with count, in exactly this case:
                     // a comic whose strips are PNG must still have a newest strip.
                     const size_t dot = entry.rfind('.');
                     if (dot == std::string_view::npos || !IsStoredExtension(entry.substr(dot + 1)))
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
