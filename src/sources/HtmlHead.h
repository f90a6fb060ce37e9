#pragma once

#include "sources/FeedDate.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace pw::sources {

// What a web page says about a comic.
struct HtmlHead {
    QString Title;             // <title>, whitespace folded; og:site_name or og:title when it is generic
    QStringList FeedAddresses; // <link rel="alternate"> of RSS or Atom type, in page order
    QString Picture;           // the page's strip as PagePicture decides it without its home page
    QString CardPicture;       // og:image, else twitter:image, else <link rel="image_src">
    QString MainPicture;       // the body's main comic picture (see MainComicPicture)
    QString MarkedPicture;     // the first <img> marked as the comic; empty when none is
    QString PictureTitle;      // title and alt text of Picture when it is an <img> of the body
    QString PictureAlt;
    QString Canonical;     // <link rel="canonical">
    bool HomePage = false; // the page is its site's home page ("/")
    QString ItemTitle;     // og:title, else twitter:title: the strip's own title
    QString Description;   // og:description, else the description meta
    QString PageAddress;   // og:url, else <link rel="canonical">; http(s) only
    // The strip before this one: <link rel="prev">, else the first <a rel="prev">.
    QString PreviousPage;
    // When the strip was published: article:published_time, else the first <time
    // datetime> that holds a readable date; none when the page says neither.
    std::optional<FeedDate> Published;
};

// Scans the whole page (a tolerant HTML tokenizer, not XML): client-built pages put
// their meta and link tags anywhere. Addresses are resolved against <base href>, else
// the page's own address; only http(s) ones are kept. The text is read in charset (the
// answer's header), else in what the page declares, else UTF-8.
HtmlHead ScanHtmlHead(const QByteArray& page, const QString& pageAddress, const QByteArray& charset = {});

// The picture that is the page's strip. The card picture (og:image...) unless it is a
// generic card: named like one ("og-default.png", "social-card.jpg", "logo.png"), or the
// same as the home page's (homeCard; empty when not known). Then the main comic picture,
// or nothing. A home page's own card gives way to a picture marked as the comic. A page
// without a card picture gives the picture marked as the comic.
QString PagePicture(const HtmlHead& head, const QString& homeCard);

// Whether a picture's file name is one of a site-wide card rather than of one strip.
bool IsGenericCardName(const QString& address);

// An HTML text as plain words: tags left out, references decoded, white space folded,
// at most `limit` characters.
QString PlainTextOf(const QString& html, qsizetype limit);

} // namespace pw::sources
