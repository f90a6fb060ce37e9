#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

namespace pw::sources {

// One subscription of an outline list: a feed (xmlUrl), or a page (type="link" with url).
struct OpmlOutline {
    QString Title;          // title, else text; empty when the outline has neither
    QString XmlUrl;         // the feed, as written; empty for a page
    QString HtmlUrl;        // the site, as written; may be empty
    QString Url;            // a page outline's address
    bool HasXmlUrl = false; // an xmlUrl attribute was given, even an empty one
};

struct OpmlDocument {
    // The limits feeds are read with.
    static constexpr qsizetype kMaxBytes = 8 * 1024 * 1024;
    static constexpr std::size_t kMaxOutlines = 10000;
    static constexpr int kMaxDepth = 256;
    static constexpr qsizetype kMaxFieldChars = 4096;

    QString Title;                     // the head's title
    std::vector<OpmlOutline> Outlines; // feeds and pages, folders looked through, in document order
    QString Error;                     // why the document cannot be used; empty when it can
};

// Reads an OPML document (1.0 or 2.0) as feed readers export them. Folders are outlines
// around others; every outline with an xmlUrl, and every type="link" outline with a url,
// is listed. Entities the document declares itself refuse it; HTML's named references in
// titles (undeclared, or escaped once more) are decoded; size, depth, outline count and
// attribute length are capped. A document that is malformed anywhere gives an Error and
// no outlines: an import takes a file whole or not at all.
OpmlDocument ReadOpml(const QByteArray& document);

} // namespace pw::sources
