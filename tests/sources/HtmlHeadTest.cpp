#include "sources/HtmlHead.h"
#include "sources/HtmlTagScanner.h"
#include "sources/HtmlPictures.h"

#include <gtest/gtest.h>

using namespace pw::sources;

namespace {

struct Row {
    const char* Description;
    const char* Page;
    const char* Title;
    const char* Feeds; // joined by " "
    const char* Picture;
};

const char* const kAddress = "https://comics.test/strip/today.html";

const Row kRows[] = {
    {"a home page linking its feeds",
     "<!DOCTYPE html><html><head><meta charset=utf-8><title>Daily Ink &amp; More</title>"
     "<link rel=\"alternate\" type=\"application/rss+xml\" title=\"RSS\" href=\"/feed/\">"
     "<link rel='alternate' type='application/atom+xml' href='atom.xml'>"
     "<link rel=\"stylesheet\" href=\"/s.css\"></head><body></body></html>",
     "Daily Ink & More", "https://comics.test/feed/ https://comics.test/strip/atom.xml", ""},
    {"og:image wins over twitter:image, relative to <base>",
     "<html><head><base href=\"http://cdn.test/c/\"><meta name=\"twitter:image\" content=\"tw.png\">"
     "<meta property=\"og:image\" content=\"today.png?x=1&amp;y=2\"><title>\n  Spaced\n Title </title>",
     "Spaced Title", "", "http://cdn.test/c/today.png?x=1&y=2"},
    {"twitter:image alone, attributes in any case and quoting",
     "<HTML><HEAD><META NAME=twitter:image CONTENT=//img.test/t.gif></HEAD>", "", "",
     "https://img.test/t.gif"},
    {"a client-built page: its tags, and its real title, far into the body",
     "<html><head><title>React App</title></head><body><div id=root><svg><title>Menu</title></svg>"
     "<title>Late Strips</title><meta property=\"og:image\" content=\"/late.png\">"
     "<link rel=alternate type=application/rss+xml href=/late.xml>",
     "Late Strips", "https://comics.test/late.xml", "https://comics.test/late.png"},
    {"comments and scripts hide what they hold",
     "<head><!-- <meta property=\"og:image\" content=\"/c.png\"> --><script>var s = '<meta "
     "property=\"og:image\" content=\"/s.png\">';</script><meta property=og:image content=/real.png>",
     "", "", "https://comics.test/real.png"},
    {"rel lists and feed types with parameters",
     "<link rel=\"home alternate\" type=\"application/rss+xml; charset=utf-8\" href=\"r.xml\">"
     "<link rel=\"alternate\" type=\"text/html\" href=\"x.html\"><link rel=\"alternate\" href=\"y.xml\">",
     "", "https://comics.test/strip/r.xml", ""},
    {"addresses that are no web addresses are dropped",
     "<meta property=og:image content=\"javascript:alert(1)\"><meta name=twitter:image content=\"data:x\">"
     "<link rel=alternate type=application/rss+xml href=\"file:///etc/passwd\">",
     "", "", ""},
    {"og:site_name when there is no title", "<meta property=\"og:site_name\" content=\"Site Name\">",
     "Site Name", "", ""},
    {"a broken page",
     "<head><title>Open <meta property=og:image content=", "Open <meta property=og:image content=", "", ""},
    {"empty", "", "", "", ""},
};

} // namespace

TEST(HtmlHead, WhatPagesSayAboutTheirComic)
{
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.Description);
        const HtmlHead head = ScanHtmlHead(QByteArray(row.Page), kAddress);
        EXPECT_EQ(head.Title.toStdString(), row.Title);
        EXPECT_EQ(head.FeedAddresses.join(' ').toStdString(), row.Feeds);
        EXPECT_EQ(head.Picture.toStdString(), row.Picture);
    }
}

TEST(HtmlHead, PicturesOfADescription)
{
    const QString base = "http://comics.test/feed/";
    auto sources = [&](const QString& html) {
        QStringList found;
        for (const PictureCandidate& c : ImagesIn(html, base))
            found << QString("%1 %2x%3%4%5")
                         .arg(c.Address)
                         .arg(c.Width)
                         .arg(c.Height)
                         .arg(c.LinkAddress.isEmpty() ? "" : " in " + c.LinkAddress)
                         .arg(c.MarkedComic ? " comic" : "");
        return found.join(", ").toStdString();
    };
    EXPECT_EQ(sources("<p>hi</p><a href=x><IMG alt='a > b' SRC=\"s/1.png\"></a><img src=2.png>"),
              "http://comics.test/feed/s/1.png 0x0 in http://comics.test/feed/x, "
              "http://comics.test/feed/2.png 0x0");
    EXPECT_EQ(sources("<img alt=x><img src=''><img src=\"/2.png\">"), "http://comics.test/2.png 0x0");
    EXPECT_EQ(sources("no picture <imgx src=a.png> <im"), "");
    EXPECT_EQ(sources("<img src=\"sp ace.png\">"), "http://comics.test/feed/sp%20ace.png 0x0");
    // Sizes from attributes or style; lazy pictures by their real address; the comic's
    // element marks its picture, its navigation does not.
    EXPECT_EQ(sources("<img src=\"data:image/gif;base64,R0lG\" data-src=\"/lazy.png\" width=\"900px\" "
                      "style=\"height: 300px\">"),
              "http://comics.test/lazy.png 900x300");
    EXPECT_EQ(
        sources("<div id=\"comic\"><img src=/a.png></div><div class=\"comic-nav\"><img src=/b.png></div>"
                "<img class=\"strip_main\" src=/c.png>"),
        "http://comics.test/a.png 0x0 comic, http://comics.test/b.png 0x0, http://comics.test/c.png 0x0 "
        "comic");
}

TEST(HtmlHead, CharacterReferencesNearEachOther)
{
    EXPECT_EQ(DecodeCharacterReferences(u"&&&amp;&amp&#x41;&#66;&unknownname;&#0;&#xD800;a&b"),
              "&&&&ampAB&unknownname;&#0;&#xD800;a&b");
    EXPECT_EQ(DecodeCharacterReferences(u"&amp;&&eacute;&"), QString::fromUtf8("&&\u00e9&"));
}

TEST(HtmlHead, ThePreviousStripAndWhenThisOneWasPublished)
{
    struct PrevRow {
        const char* Description;
        const char* Page;
        const char* Previous;
        const char* PublishedIso; // "" for none
    };
    const PrevRow rows[] = {
        {"<link rel=prev> wins over an earlier <a rel=prev>; article:published_time over <time>",
         "<a rel=\"prev\" href=\"/a.html\">x</a><time datetime=\"2025-01-02\">2 Jan</time>"
         "<meta property=\"article:published_time\" content=\"2025-03-04T05:06:07+01:00\">"
         "<link rel=\"prev\" href=\"41.html\">",
         "https://comics.test/strip/41.html", "2025-03-04T04:06:07Z"},
        {"<a> with a rel list, and the first <time> that holds a date",
         "<time>today</time><time datetime=\"soon\"></time><time datetime=\"2025-05-06T07:08:09Z\">"
         "<A HREF='/c/40' REL='nofollow Previous'>Back</A><a rel=prev href=/c/39>",
         "https://comics.test/c/40", "2025-05-06T07:08:09Z"},
        {"no previous strip, no date",
         "<a rel=\"next\" href=\"/n\">next</a><link rel=\"prefetch\" href=\"/p\"><a href=\"/prev\">prev</a>", "",
         ""},
        {"a previous link that is no web address", "<link rel=prev href=\"javascript:back()\">", "", ""},
    };
    for (const PrevRow& row : rows) {
        SCOPED_TRACE(row.Description);
        const HtmlHead head = ScanHtmlHead(QByteArray(row.Page), kAddress);
        EXPECT_EQ(head.PreviousPage.toStdString(), row.Previous);
        EXPECT_EQ(head.Published ? head.Published->Utc.toString(Qt::ISODateWithMs).replace(".000", "").toStdString()
                                 : std::string(),
                  row.PublishedIso);
    }
}
