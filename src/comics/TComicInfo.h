#pragma once

#include "TComicStrip.h"

#include <QString>
#include <optional>

namespace pw::comics {

class TComicStripsDB;

// One catalogue entry. Compared by identity; owned by the catalogue for the whole run.
class TComicInfo {
public:
    TComicInfo(QString name, QString pageUrl) : Name(std::move(name)), PageURL(std::move(pageUrl)) {}
    TComicInfo(const TComicInfo&) = delete;
    TComicInfo& operator=(const TComicInfo&) = delete;

    QString Name;
    QString PageURL;
    std::optional<TComicStrip> CurrentStrip;
    bool UserAdded = false; // from the user's own catalogue: the user may remove it

    // CurrentStrip's date in the user's short date format; CurrentStrip must be set.
    QString DateText() const;
    std::optional<TComicStrip> NewestStrip(const TComicStripsDB& db) const;
};

} // namespace pw::comics
