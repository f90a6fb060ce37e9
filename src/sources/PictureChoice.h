#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace pw::sources {

// Where a candidate picture of a feed item or page was named.
enum class PictureOrigin {
    Enclosure, // RSS enclosure, Atom enclosure link, mod_enclosure
    Media,     // media:content
    Html,      // an <img> in the item's HTML or the page's body
    Thumbnail, // media:thumbnail: a preview, the last resort
};

struct PictureCandidate {
    QString Address; // absolute http(s)
    PictureOrigin Origin = PictureOrigin::Html;
    int Width = 0; // as declared; 0 when not declared
    int Height = 0;
    bool ImageMap = false;    // an <img usemap>: ads are built that way, strips never
    QString LinkAddress;      // the link around an <img>, absolute; empty when none
    QString Hints;            // id and class, lower case
    bool MarkedComic = false; // its id or class, or its container's, names the comic
    QString Alt;
    QString Title;
};

// What the address's extension says about a picture.
enum class AddressKind { Picture, Unshowable, NotPicture, Unknown };
AddressKind KindOfAddress(const QString& address);

// A candidate the ranking passes over at once: a tracking pixel, a picture inside an ad
// (an image map, or a link to another site's ad server), a picture declared smaller
// than a thumbnail, or an address that names no picture.
bool IsRefusedCandidate(const PictureCandidate& candidate, const QStringList& siteAddresses);

// A picture that is only a preview: media:thumbnail, a "thumb" by its class or name, a
// file named for a thumbnail size ("-150x150.jpg"), or declared no larger than one.
bool IsThumbnailCandidate(const PictureCandidate& candidate);

// An id or class list (or file and folder names) that names the comic itself
// ("comic", "comic-image", "strip_main"), not what stands around it ("comic-nav",
// "comic-thumb", "strip-share").
bool NamesComic(const QString& idsAndClasses);

// Whether the candidate is marked as the comic, or its file's or folder's name says so.
bool SaysComic(const PictureCandidate& candidate);

struct RankedPictures {
    std::vector<PictureCandidate> Best;       // best first
    std::vector<PictureCandidate> LastResort; // thumbnails, best first
};

// Orders an item's candidates: refused ones out, thumbnails apart; then pictures on the
// comic's own site (the registrable domain of any of siteAddresses: the item's page, the
// feed's site) first, formats the program can show before those it cannot, ad-shaped
// sizes last, then the largest declared, then the given order. Repeated addresses count
// once.
RankedPictures RankPictures(const std::vector<PictureCandidate>& candidates,
                            const QStringList& siteAddresses);

// A page's main comic picture among its body's <img>: the first one whose id, class,
// alt, title or address says comic or strip, else (unless markedOnly) the largest
// declared one; nullopt when there is none.
std::optional<PictureCandidate> MainComicPicture(const std::vector<PictureCandidate>& candidates,
                                                 const QStringList& siteAddresses, bool markedOnly);

} // namespace pw::sources
