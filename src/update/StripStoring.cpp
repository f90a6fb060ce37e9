#include "update/StripStoring.h"

#include "comics/TComicStrip.h"
#include "comics/TComicStripsDB.h"
#include "sources/PictureFormat.h"
#include "update/StripNaming.h"

#include <QFile>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>

namespace pw::update {

namespace {

// Enough for any picture's header to tell its format and size.
constexpr qint64 kHeadBytes = 256 * 1024;

} // namespace

StripStoring::Picture StripStoring::Judge(const QString& part, qint64 size)
{
    QByteArray head;
    QFile read(part);
    if (read.open(QIODevice::ReadOnly))
        head = read.read(kHeadBytes);
    read.close();
    Picture picture;
    picture.Extension = sources::PictureExtension(head);
    picture.UnshowableFormat = sources::UnshowableFormatName(head);
    const QSize dimensions = sources::PictureSize(head);
    picture.TooSmall =
        size <= 0 || (dimensions.isValid() && (dimensions.width() <= 2 || dimensions.height() <= 2));
    return picture;
}

int StripStoring::StripsOn(const comics::TComicStripsDB& db, const QString& comicName, const QDate& day)
{
    return db.LastOrdinalOn(comicName,
                            StripFileNameFor(QString(), day.year(), day.month(), day.day(), QString()));
}

QString StripStoring::NameFor(const QString& comicName, const QDate& day, const QString& extension,
                              int ordinal)
{
    return StripFileNameFor(comicName, day.year(), day.month(), day.day(), extension, ordinal);
}

QString StripStoring::Store(const comics::TComicStripsDB& db, const QString& comicName, const QDate& day,
                            const QString& extension, const QString& part, QString* target)
{
    int ordinal = StripsOn(db, comicName, day) + 1;
    errno = EEXIST; // a day without a free place fails as one whose places were all taken
    QString name, path;
    int renamed = -1;
    // rename puts the whole file there in one step, or nothing.
    for (int attempt = 0; attempt < 100 && ordinal <= comics::StripNameTail::kMaxOrdinal;
         ++attempt, ++ordinal) {
        name = NameFor(comicName, day, extension, ordinal);
        path = db.ComicFolder(comicName) + QLatin1Char('/') + name;
        renamed = ::renameat2(AT_FDCWD, QFile::encodeName(part).constData(), AT_FDCWD,
                              QFile::encodeName(path).constData(), RENAME_NOREPLACE);
        if (renamed == 0 || errno != EEXIST)
            break;
    }
    if (renamed != 0 && (errno == EINVAL || errno == ENOSYS)) // a file system without it
        renamed = std::rename(QFile::encodeName(part).constData(), QFile::encodeName(path).constData());
    if (target)
        *target = path;
    if (renamed != 0) {
        QFile::remove(part);
        return {};
    }
    return name;
}

} // namespace pw::update
