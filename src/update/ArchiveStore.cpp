#include "update/ArchiveStore.h"

#include "comics/TComicStripsDB.h"
#include "update/StripNaming.h"

#include <QFile>
#include <cstdio>

namespace pw::update {

int ArchiveStore::StripsOn(const comics::TComicStripsDB& db, const QString& comicName, const QDate& day)
{
    return db.LastOrdinalOn(comicName,
                            StripFileNameFor(QString(), day.year(), day.month(), day.day(), QString()));
}

QString ArchiveStore::NameFor(const QString& comicName, const QDate& day, const QString& extension,
                              int ordinal)
{
    return StripFileNameFor(comicName, day.year(), day.month(), day.day(), extension, ordinal);
}

QString ArchiveStore::Store(const comics::TComicStripsDB& db, const QString& comicName, const QDate& day,
                            const QString& extension, const QString& part)
{
    const QString name = NameFor(comicName, day, extension, StripsOn(db, comicName, day) + 1);
    const QString target = db.ComicFolder(comicName) + QLatin1Char('/') + name;
    // rename() puts the whole file there in one step, or nothing.
    if (std::rename(QFile::encodeName(part).constData(), QFile::encodeName(target).constData()) != 0) {
        QFile::remove(part);
        return {};
    }
    return name;
}

} // namespace pw::update
