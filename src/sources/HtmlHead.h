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
};

// Scans the page up to its <body> (a tolerant HTML tokenizer, not XML). Addresses are
// resolved against <base href>, else the page's own address; only http(s) ones are kept.
HtmlHead ScanHtmlHead(const QByteArray& page, const QString& pageAddress);

// The source of the first <img> in an HTML text (a feed item's description or
// content), resolved against base; empty when there is none.
QString FirstImageSource(const QString& html, const QString& base);

} // namespace pw::sources
