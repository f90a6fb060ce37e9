#pragma once

#include "StripListing.h"
#include "TComicStrip.h"

#include <QString>
#include <functional>
#include <list>
#include <optional>
#include <string_view>
#include <utility>

namespace pw::comics {

class TComicInfo;

// The strip store: one folder per comic under Dir, strips named by date (and their place
// in the day, TComicStrip), and the
// <Name>.unr unread marker file (one FileName per CR LF line, oldest addition first).
// Every lookup answers from the folder as it is now; the listings of the comics looked at
// last are kept while their folders are unchanged (see StripListing).
class TComicStripsDB {
public:
    // Creates the folder (one level) when missing, ignoring failure; Dir gets a trailing "/".
    explicit TComicStripsDB(const QString& folder);

    const QString& Dir() const { return dir_; }
    QString ComicFolder(const QString& comicName) const; // Dir + name (no trailing "/")
    // Dir + name + "/" + name + ".unr"; Dir + ".unr" for the comic with the empty name.
    QString MarkerPath(const QString& comicName) const;

    // "gif", "jpg" and "png": the extensions strips are stored with (exact case).
    static bool IsStoredExtension(std::string_view extension);

    // A's date is later, or A is a later strip of the same day: the only ordering of strips.
    static bool IsLater(const TComicStrip& a, const TComicStrip& b);
    // False for names that would leave the comics folder or nest in it ("a/b", ".", "..");
    // such comics have no strips, and marking one of their strips throws.
    static bool IsUsableName(const QString& comicName);

    // Throw platform::Exception when the marker file cannot be written. MarkRead leaves a
    // marker that does not list the strip as it is, and creates a missing one empty.
    void MarkUnread(const TComicStrip& strip) const;
    void MarkRead(const TComicStrip& strip) const;

    // Lookups pass over names that hold no date and names that merely begin with the
    // comic's name ("<Name>Extra20011204.gif"): only <Name> + date + extension is a strip
    // of that comic. FirstUnreadStrip gives the first marker line that is such a strip.
    std::optional<TComicStrip> FirstUnreadStrip(const QString& comicName) const;
    // The strips the marker lists (the lines FirstUnreadStrip would step through), without
    // touching the strip files.
    int UnreadCount(const QString& comicName) const;
    std::optional<TComicStrip> NewestStrip(const QString& comicName) const;
    std::optional<TComicStrip> OldestStrip(const QString& comicName) const;
    std::optional<TComicStrip> NextStrip(const TComicInfo& comic) const;
    std::optional<TComicStrip> PreviousStrip(const TComicInfo& comic) const;

    // True when the comic's folder holds an entry of that day: named <comicName><datePart>
    // followed by nothing or by "." and anything (the update job's "<Name><date>.*"
    // check), or the same with "-<n>" after the date.
    bool HasEntryFor(const QString& comicName, const QString& datePart) const;
    // The highest ordinal among those entries (1 for the day's first); 0 when there is none.
    int LastOrdinalOn(const QString& comicName, const QString& datePart) const;

private:
    // Marker lines that are strips of the comic, in file order, until `visit` returns false.
    void ForEachUnread(const QString& comicName, const std::function<bool(TComicStrip&&)>& visit) const;
    std::optional<TComicStrip> Neighbour(const TComicInfo& comic, bool later) const;
    std::optional<TComicStrip> Outermost(const QString& comicName, bool newest) const;
    // The comic's folder listing as it is now.
    const StripListing& ListingOf(const QString& comicName) const;

    // The user steps through one comic at a time; a listing of thousands of strips is
    // worth keeping for the few comics looked at last, not for every comic.
    static constexpr size_t kKeptListings = 4;

    QString dir_;
    mutable std::list<std::pair<QString, StripListing>> listings_; // most recently used first
};

} // namespace pw::comics
