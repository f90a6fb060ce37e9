#pragma once

#include <QDate>
#include <QString>

namespace pw::comics {
class TComicStripsDB;
}

namespace pw::update {

// How a downloaded strip is judged, named and moved into the store: in one place, so
// that the update and the walk through a comic's archive follow the same rules.
class StripStoring {
public:
    // What the first bytes of a finished download say.
    struct Picture {
        QString Extension;        // ".gif", ".jpg" or ".png"; empty when it is none of these
        QString UnshowableFormat; // "WebP" and the like, when it is a picture we cannot show
        bool TooSmall = false;    // empty, or a tracking pixel (2 pixels or fewer across)
        bool IsStrip() const { return !Extension.isEmpty() && !TooSmall; }
    };
    static Picture Judge(const QString& part, qint64 size);

    // How many strips of that day the comic holds (the highest place in the day).
    static int StripsOn(const comics::TComicStripsDB& db, const QString& comicName, const QDate& day);
    // The name of the day's strip at that place (1 for the first); extension with its dot.
    static QString NameFor(const QString& comicName, const QDate& day, const QString& extension,
                           int ordinal = 1);
    // Moves the finished download `part` into place as the day's next strip. The first
    // strip of a day keeps the plain name, later ones follow it in the order they were
    // stored; an entry that appears meanwhile is never replaced, the strip takes the place
    // after it. The name, or empty when it could not be moved (part is then removed and
    // `target` names where it should have gone).
    static QString Store(const comics::TComicStripsDB& db, const QString& comicName, const QDate& day,
                         const QString& extension, const QString& part, QString* target = nullptr);
};

} // namespace pw::update
