#include "comics/TComicInfo.h"

#include "comics/TComicStripsDB.h"

#include <QLocale>

namespace pw::comics {

QString TComicInfo::DateText() const
{
    if (!CurrentStrip)
        return {};
    return QLocale::system().toString(CurrentStrip->Date, QLocale::ShortFormat);
}

std::optional<TComicStrip> TComicInfo::NewestStrip(const TComicStripsDB& db) const
{
    return db.NewestStrip(Name);
}

} // namespace pw::comics
