#include "comics/TComicStripsDB.h"

#include "comics/FolderEntries.h"
#include "comics/TComicInfo.h"
#include "comics/TextLines.h"
#include "platform/Exception.h"
#include "platform/FolderLock.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace pw::comics {

namespace {

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
    return a.Order() > b.Order();
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
    // A batch run beside the window marks strips unread while the window marks them read.
    const platform::FolderLock lock(path);
    bool missing = false;
    std::vector<QByteArray> lines = ReadMarkerForRewrite(path, &missing);
    lines.push_back(QFile::encodeName(strip.FileName));
    WriteMarker(path, lines, missing);
}

void TComicStripsDB::MarkRead(const TComicStrip& strip) const
{
    RequireUsable(strip.ComicName);
    const QString path = MarkerPath(strip.ComicName);
    const platform::FolderLock lock(path);
    bool missing = false;
    std::vector<QByteArray> lines = ReadMarkerForRewrite(path, &missing);
    const QByteArray name = QFile::encodeName(strip.FileName);
    const auto listed = std::find(lines.begin(), lines.end(), name);
    // A marker that exists and does not list the strip would be written back unchanged:
    // left alone, the folder stays unchanged and its listing stays valid while the user
    // steps through strips already read.
    if (listed == lines.end() && !missing)
        return;
    if (listed != lines.end())
        lines.erase(listed);
    WriteMarker(path, lines, missing); // also when missing, so that the file exists afterwards
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
    return Outermost(comicName, true);
}

std::optional<TComicStrip> TComicStripsDB::OldestStrip(const QString& comicName) const
{
    return Outermost(comicName, false);
}

std::optional<TComicStrip> TComicStripsDB::Outermost(const QString& comicName, bool newest) const
{
    if (!IsUsableName(comicName))
        return std::nullopt;
    const StripListing& listing = ListingOf(comicName);
    const StripListing::Entry* best = nullptr;
    for (const StripListing::Entry& entry : listing.Entries()) {
        // Only the extensions strips are stored with count, in exactly this case (a comic
        // whose strips are PNG must still have a newest strip); the first listed wins a tie.
        if (entry.picture && (!best || (newest ? entry.order > best->order : entry.order < best->order)))
            best = &entry;
    }
    return best ? listing.StripOf(*best) : std::nullopt;
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
    const qint64 current = comic.CurrentStrip->Order();
    const StripListing& listing = ListingOf(comic.Name);
    const StripListing::Entry* best = nullptr;
    for (const StripListing::Entry& entry : listing.Entries()) {
        // The nearest strip beyond the current one; the first listed wins a tie.
        if (later ? (entry.order > current && (!best || entry.order < best->order))
                  : (entry.order < current && (!best || entry.order > best->order)))
            best = &entry;
    }
    return best ? listing.StripOf(*best) : std::nullopt;
}

const StripListing& TComicStripsDB::ListingOf(const QString& comicName) const
{
    auto it = std::find_if(listings_.begin(), listings_.end(),
                           [&](const auto& kept) { return kept.first == comicName; });
    if (it == listings_.end()) {
        if (listings_.size() >= kKeptListings)
            listings_.pop_back();
        listings_.emplace_front(comicName, StripListing());
    } else {
        listings_.splice(listings_.begin(), listings_, it); // most recently used first
    }
    StripListing& listing = listings_.front().second;
    listing.Refresh(ListingFolder(dir_, comicName), comicName, dir_);
    return listing;
}

bool TComicStripsDB::HasEntryFor(const QString& comicName, const QString& datePart) const
{
    return LastOrdinalOn(comicName, datePart) > 0;
}

int TComicStripsDB::LastOrdinalOn(const QString& comicName, const QString& datePart) const
{
    if (!IsUsableName(comicName))
        return 0;
    int last = 0;
    ForEachFolderEntry(ListingFolder(dir_, comicName), comicName + datePart,
                       [&](std::string_view, std::string_view rest) {
                           // "", ".<anything>": the first of the day; "-<n>", "-<n>.<anything>": the n-th.
                           int ordinal = rest.empty() || rest.front() == '.' ? 1 : 0;
                           if (rest.size() > 1 && rest.front() == '-' && rest[1] != '0') {
                               int n = 0;
                               std::size_t i = 1;
                               for (; i < rest.size() && i <= 4 && rest[i] >= '0' && rest[i] <= '9'; ++i)
                                   n = n * 10 + (rest[i] - '0');
                               if (i > 1 && (i == rest.size() || rest[i] == '.'))
                                   ordinal = n;
                           }
                           last = std::max(last, ordinal);
                       });
    return last;
}

} // namespace pw::comics
