#pragma once

#include "sources/FeedDate.h"
#include "sources/PictureChoice.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

namespace pw::sources {

enum class FeedKind { None, Rss2, Rss1, Atom };

// "RSS 2.0 feed", "RSS 1.0 feed", "Atom feed"; empty for None.
QString FeedKindName(FeedKind kind);

struct FeedItem {
    QString Title;
    QString Link;                   // the item's own page, absolute http(s), may be empty
    QString Picture;                // the best of Pictures; empty when the item names none (ask Link's page)
    QStringList Pictures;           // every usable picture, best first
    QStringList LastResortPictures; // thumbnails: only when the item's page names no picture
    QString PictureTitle;           // the best picture's title text (the hover text), and
    QString PictureAlt;             // its alt text; empty when it has none
    std::vector<PictureCandidate> Candidates; // everything the item named, in its order
    std::optional<FeedDate> Date;
    QString Note; // the item's text as plain words, short
    // The feed's own name for the item (RSS guid, Atom id, RSS 1.0 rdf:about); empty when
    // it has none, or when another item of the feed has the same (then it names nothing).
    QString Id;
};

// Where a feed's older entries are (RFC 5005): the next page of a paged feed and the
// previous archive document, absolute http(s) or empty. Complete (fh:complete): the feed
// holds every entry there is, so there is nothing older to ask for.
struct FeedPaging {
    QString Next;
    QString PrevArchive;
    bool Complete = false;
};

struct Feed {
    static constexpr qsizetype kMaxBytes = 8 * 1024 * 1024;
    static constexpr std::size_t kMaxItems = 500;

    FeedKind Kind = FeedKind::None;
    QString Title;
    QString Site;                // the channel's own link (the comic's site); may be empty
    std::vector<FeedItem> Items; // document order
    FeedPaging Paging;           // channel-level atom:link (also in RSS) and fh:complete
    // Why the document could not be read (whole or in part); empty when it was. Items
    // read completely before a fault are kept.
    QString Error;
    // The document was refused as hostile (entities of its own): no other reading of
    // it may be tried.
    bool Refused = false;
};

// Reads an RSS 2.0, RSS 1.0 (RDF) or Atom 1.0 document. Kind None when the root is
// none of these. An item's candidate pictures are, in this order: its enclosures
// (RSS, Atom, mod_enclosure) and media:content (a media:group's default first) that are
// pictures by type, medium or, without either, not something else by the address's
// extension; then every <img> of content:encoded, content, description and summary
// (escaped HTML, CDATA or XHTML); media:thumbnail last. RankPictures orders them, with
// the item's page and the feed's site as the comic's own site. Relative addresses
// resolve against xml:base, else documentAddress. Entities the document declares itself
// refuse it at once; no external entity or DTD is ever fetched; size, item count and
// field length are capped. charset is the character set the answer's header names
// (empty when none); it wins over the document's own declaration.
Feed ReadFeed(const QByteArray& document, const QString& documentAddress, const QByteArray& charset = {});

} // namespace pw::sources
