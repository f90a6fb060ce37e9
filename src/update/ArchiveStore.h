#pragma once

#include <QDate>
#include <QString>

namespace pw::comics {
class TComicStripsDB;
}

namespace pw::update {

// How a strip fetched from a comic's archive is named and stored: in one place, so that
// the archive walk follows the store's naming whatever it becomes.
class ArchiveStore {
public:
    // The comic already holds a strip of that day.
    static bool Has(const comics::TComicStripsDB& db, const QString& comicName, const QDate& day);
    // The file name the day's strip gets; extension with its dot (".png").
    static QString NameFor(const QString& comicName, const QDate& day, const QString& extension);
    // Moves the finished download `part` into place under NameFor; the name, or empty
    // when it could not be moved (part is then removed).
    static QString Store(const comics::TComicStripsDB& db, const QString& comicName, const QDate& day,
                         const QString& extension, const QString& part);
};

} // namespace pw::update
