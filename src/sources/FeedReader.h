#pragma once

#include "sources/FeedDate.h"

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
    QString Link;    // the item's own page, absolute http(s), may be empty
    QString Picture; // absolute http(s); empty when the item names none (ask Link's page)
    std::optional<FeedDate> Date;
    // The picture's title and alt texts (from its <img>), and the item's text as plain words.
    QString PictureTitle;
    QString PictureAlt;
    QString Note;
};

struct Feed {
    static constexpr qsizetype kMaxBytes = 8 * 1024 * 1024;
    static constexpr std::size_t kMaxItems = 500;

    FeedKind Kind = FeedKind::None;
    QString Title;
    std::vector<FeedItem> Items; // document order
    // Why the document could not be read (whole or in part); empty when it was. Items
    // read completely before a fault are kept.
    QString Error;
    // The document was refused as hostile (entities of its own): no other reading of
    // it may be tried.
    bool Refused = false;
};

// Reads an RSS 2.0, RSS 1.0 (RDF) or Atom 1.0 document. Kind None when the root is
// none of these. The item's picture is, in this order: an enclosure or media:content
// of an image type; the first <img> of content:encoded, content, description or
// summary (escaped HTML, CDATA or XHTML). Relative addresses resolve against xml:base,
// else documentAddress. Entities the document declares itself refuse it at once; no
// external entity or DTD is ever fetched; size, item count and field length are capped.
Feed ReadFeed(const QByteArray& document, const QString& documentAddress);

} // namespace pw::sources
