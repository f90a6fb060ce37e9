#pragma once

#include "TComicStrip.h"
#include "platform/FileStamp.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

namespace pw::comics {

// The entries of one comic's folder that are strips of that comic, in the order the file
// system listed them, kept from one lookup to the next while the folder is unchanged.
//
// Unchanged means the folder's stamp (change and modification time to the nanosecond,
// size, device and inode) is the one taken before the kept listing was read. A stat per
// lookup costs about a microsecond; an inotify watch would not see changes made from
// another machine on a network file system, and watches come from a small per-user
// allowance. The time stamps come from the kernel's coarse clock (and whole seconds on
// some file systems), so a second change within the tick of the last one could leave the
// stamp as it was: a listing is kept only when the folder's last change was Settled
// before the listing began, and is read afresh at every lookup otherwise.
class StripListing {
public:
    struct Entry {
        qint64 order = 0;     // TComicStrip::Order: date, then the strip's place in its day
        bool picture = false; // the text after the last "." is a stored strip's ("gif", "jpg", "png")
        qsizetype offset = 0; // of the name in the listing's name bytes
        qsizetype length = 0;
    };

    // Brings the listing up to date with `folder` as it is now: the kept entries while the
    // folder is unchanged, else a fresh listing of the entries named <comicName> and a
    // strip name's tail (StripNameTail) with a valid date. `dir` is the comics folder the strips are made
    // for.
    void Refresh(const QString& folder, const QString& comicName, const QString& dir);

    const std::vector<Entry>& Entries() const { return entries_; }
    std::optional<TComicStrip> StripOf(const Entry& entry) const;

private:
    std::optional<platform::FileStamp> kept_; // the stamp the entries belong to, when reusable
    std::vector<Entry> entries_;
    QByteArray names_;
    QString dir_;
};

} // namespace pw::comics
