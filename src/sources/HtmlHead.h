#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace pw::sources {

// What a web page's head says about a comic.
struct HtmlHead {
    QString Title;             // <title>, whitespace folded; else og:site_name
    QStringList FeedAddresses; // <link rel="alternate"> of RSS or Atom type, in page order
    QString Picture;           // og:image, else twitter:image
    QString ItemTitle;         // og:title, else twitter:title: the strip's own title
    QString Description;       // og:description, else the description meta
    QString PageAddress;       // og:url, else <link rel="canonical">; http(s) only
};

// What an <img> says besides its address.
struct ImageWords {
    QString Title; // the hover text
    QString Alt;
};

// Scans the page up to its <body> (a tolerant HTML tokenizer, not XML). Addresses are
// resolved against <base href>, else the page's own address; only http(s) ones are kept.
HtmlHead ScanHtmlHead(const QByteArray& page, const QString& pageAddress);

// The source of the first <img> in an HTML text (a feed item's description or
// content), resolved against base; empty when there is none.
QString FirstImageSource(const QString& html, const QString& base);

// The title and alt texts of the <img> whose source resolves to `picture` in an HTML text
// (a whole page or a feed item's description); else, when `firstWhenNone`, the first <img>'s.
ImageWords FindImageWords(const QString& html, const QString& base, const QString& picture,
                          bool firstWhenNone);

// An HTML text as plain words: tags left out, references decoded, white space folded,
// at most `limit` characters.
QString PlainTextOf(const QString& html, qsizetype limit);

} // namespace pw::sources
