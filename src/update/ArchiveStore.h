#pragma once

#include <QDate>
#include <QString>

namespace pw::comics {
class TComicStripsDB;
}

namespace pw::update {

// How a strip fetched from a comic's archive is named and stored: in one place, so that
// the archive walk follows the store's naming.
class ArchiveStore {
public:
    // How many strips of that day the comic holds (the highest place in the day).
    static int StripsOn(const comics::TComicStripsDB& db, const QString& comicName, const QDate& day);
    // The name of the day's strip at that place (1 for the first); extension with its dot.
    static QString NameFor(const QString& comicName, const QDate& day, const QString& extension,
                           int ordinal = 1);
    // Moves the finished download `part` into place as the day's next strip; the name, or
    // empty when it could not be moved (part is then removed).
    static QString Store(const comics::TComicStripsDB& db, const QString& comicName, const QDate& day,
                         const QString& extension, const QString& part);
};

} // namespace pw::update
