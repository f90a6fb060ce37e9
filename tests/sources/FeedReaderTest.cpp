#include "sources/FeedReader.h"
#include "sources/FeedPages.h"
#include "sources/ItemChoice.h"

#include "TestPaths.h"

#include <QFile>
#include <algorithm>
#include <gtest/gtest.h>

using namespace pw::sources;

namespace {

const QString kSite = QStringLiteral("http://comics.test");

QByteArray FeedFile(const QString& name)
{
    QFile f(pw::test::FixturePath("feeds/" + name));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name.toStdString();
    return f.readAll().replace("@SITE@", kSite.toLatin1());
}

const FeedItem* Newest(const Feed& feed)
{
    auto when = [](const FeedItem& i) { return i.Date ? i.Date->Utc : QDateTime(); };
    const auto it = std::max_element(feed.Items.begin(), feed.Items.end(),
                                     [&](const FeedItem& a, const FeedItem& b) { return when(a) < when(b); });
    return it == feed.Items.end() ? nullptr : &*it;
}

struct Row {
    const char* File;
    FeedKind Kind;
    const char* Title;
    std::size_t Items;
    // The newest item by date:
    const char* Picture; // after "http://comics.test"; "" for none
    const char* Link;
    const char* UtcIso;
};

// One feed per case, shaped like what real sites send.
const Row kRows[] = {
    {"rss-escaped-img.xml", FeedKind::Rss2, "Escaped Ink", 2, "/escaped/strips/tuesday.png",
     "/escaped/comic/tuesday", "2026-12-08T10:00:00"},
    {"atom-html-summary.xml", FeedKind::Atom, "Atomic & Co", 2, "/atomic/images/42.gif", "/atomic/strip/42",
     "2026-12-07T18:30:02"},
    {"wordpress-encoded.xml", FeedKind::Rss2, "Press Gang Comics", 2,
     "/press/wp-content/uploads/2026/12/toner-low.jpg", "/press/2026/12/07/toner-low/",
     "2026-12-07T10:00:00"},
    {"rss-enclosure.xml", FeedKind::Rss2, "Enclosed", 1, "/enclosed/strips/7.gif", "/enclosed/7",
     "2026-12-07T12:00:00"},
    {"media-content.xml", FeedKind::Rss2, "Media Mix", 1, "/media/strips/3.jpg", "/media/3",
     "2026-12-07T08:00:00"},
    {"notice-only.xml", FeedKind::Rss2, "Notice Board", 1, "", "/notice/page/12.html", "2026-12-07T09:00:00"},
    {"rss1.rdf", FeedKind::Rss1, "Resource Described", 2, "/rdf/2.png", "/rdf/2", "2026-12-01T23:30:00"},
    {"atom-xhtml.xml", FeedKind::Atom, "Strict Lines", 1, "/strict/2026/lines.png", "/strict/2026/lines.html",
     "2026-12-07T06:00:00"},
    {"undeclared-prefix.xml", FeedKind::Rss2, "Sloppy", 1, "/sloppy/1.png", "/sloppy/1",
     "2026-12-07T08:00:00"},
    {"dotdot-title.xml", FeedKind::Rss2, "../../../etc", 1, "/dotdot/1.gif", "/dotdot/1",
     "2026-12-07T08:00:00"},
};

} // namespace

TEST(FeedReader, FeedsShapedLikeRealOnes)
{
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.File);
        const Feed feed = ReadFeed(FeedFile(row.File), kSite + "/feeds/" + row.File);
        EXPECT_TRUE(feed.Error.isEmpty()) << feed.Error.toStdString();
        EXPECT_EQ(feed.Kind, row.Kind);
        EXPECT_EQ(feed.Title.toStdString(), row.Title);
        ASSERT_EQ(feed.Items.size(), row.Items);
        const FeedItem* newest = Newest(feed);
        ASSERT_TRUE(newest && newest->Date);
        EXPECT_EQ(newest->Picture.toStdString(), *row.Picture ? (kSite + row.Picture).toStdString() : "");
        EXPECT_EQ(newest->Link.toStdString(), (kSite + row.Link).toStdString());
        EXPECT_EQ(newest->Date->Utc.toString(Qt::ISODate).toStdString(), std::string(row.UtcIso) + "Z");
    }
}

TEST(FeedReader, HostileDocumentsAreRefusedAtOnce)
{
    for (const char* file : {"billion-laughs.xml", "external-entity.xml"}) {
        SCOPED_TRACE(file);
        const Feed feed = ReadFeed(FeedFile(file), kSite + "/");
        EXPECT_EQ(feed.Error, "the feed is malformed (its document type declares entries of its own)");
        EXPECT_TRUE(feed.Refused);
        EXPECT_TRUE(feed.Items.empty());
        EXPECT_TRUE(feed.Title.isEmpty());
    }
    // Shapes the XML reader would spend the square of their size on.
    QByteArray attributes = "<rss";
    for (int i = 0; i < 300; ++i)
        attributes += " a" + QByteArray::number(i) + "='x>y'";
    attributes += "><channel><title>T</title></channel></rss>";
    QByteArray defaults = "<!DOCTYPE rss [";
    for (int i = 0; i < 50; ++i)
        defaults += "<!ATTLIST rss a" + QByteArray::number(i) + " CDATA 'x'>";
    defaults += "]><rss><channel><title>T</title></channel></rss>";
    QByteArray namespaces = "<feed xmlns='http://www.w3.org/2005/Atom'>";
    for (int depth = 0; depth < 5; ++depth) {
        namespaces += "<x";
        for (int i = 0; i < 20; ++i)
            namespaces += " xmlns:n" + QByteArray::number(depth * 20 + i) + " = 'urn:n'";
        namespaces += ">";
    }
    struct Hostile {
        QByteArray Document;
        const char* Error;
    };
    const Hostile hostile[] = {
        {attributes, "the feed is malformed (an element holds more than 256 attributes)"},
        {defaults, "the feed is malformed (its document type declares entries of its own)"},
        {namespaces, "the feed is malformed (more than 64 namespaces are declared at once)"},
    };
    for (const Hostile& h : hostile) {
        const Feed feed = ReadFeed(h.Document, kSite + "/");
        EXPECT_EQ(feed.Error.toStdString(), h.Error);
        EXPECT_TRUE(feed.Refused);
    }
    // A few attributes and namespaces, as real feeds hold them, and UTF-16 still read.
    QByteArray fine = "<rss version='2.0'";
    for (int i = 0; i < 40; ++i)
        fine += " xmlns:n" + QByteArray::number(i) + "='urn:n'";
    fine += "><channel><title>Fine</title></channel></rss>";
    EXPECT_EQ(ReadFeed(fine, kSite + "/").Title, "Fine");
    const QString wide = QStringLiteral(
        "\uFEFF<?xml version='1.0' encoding='UTF-16'?><rss><channel><title>Wide</title></channel></rss>");
    const QByteArray utf16(reinterpret_cast<const char*>(wide.utf16()), wide.size() * 2);
    EXPECT_EQ(ReadFeed(utf16, kSite + "/").Title, "Wide");
    const Feed big = ReadFeed(QByteArray(Feed::kMaxBytes + 1, ' '), kSite + "/");
    EXPECT_EQ(big.Error, "the feed is larger than 8 MB");
}

TEST(FeedReader, LimitsAndDamage)
{
    QByteArray many = "<rss version=\"2.0\"><channel><title>Many</title>";
    for (std::size_t i = 0; i < Feed::kMaxItems + 10; ++i)
        many += "<item><title>i</title><link>/s/" + QByteArray::number(qulonglong(i)) + "</link></item>";
    many += "</channel></rss>";
    const Feed capped = ReadFeed(many, kSite + "/");
    EXPECT_EQ(capped.Items.size(), Feed::kMaxItems);
    EXPECT_TRUE(capped.Error.contains("more than 500 items")) << capped.Error.toStdString();

    // A cut-off feed keeps the items it read completely.
    const QByteArray whole = FeedFile("rss-escaped-img.xml");
    const Feed cut = ReadFeed(whole.left(whole.indexOf("Escaped Ink - Monday")), kSite + "/");
    EXPECT_FALSE(cut.Error.isEmpty());
    ASSERT_EQ(cut.Items.size(), 1u);
    EXPECT_EQ(cut.Items[0].Picture, kSite + "/escaped/strips/tuesday.png");

    // HTML's named entities, undeclared, as hand-written feeds use them.
    const Feed named = ReadFeed(
        "<rss><channel><title>Caf&eacute;&nbsp;Strips &amp; Co</title></channel></rss>", kSite + "/");
    EXPECT_TRUE(named.Error.isEmpty()) << named.Error.toStdString();
    EXPECT_EQ(named.Title, QString::fromUtf8("Caf\u00e9 Strips & Co"));

    // Western character sets, however they are named; a declared Latin-1 with the quotes
    // of windows-1252, as such feeds are written.
    const Feed declared = ReadFeed("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><rss><channel>"
                                   "<title>Caf\xe9 \x93Noir\x94</title></channel></rss>",
                                   kSite + "/");
    EXPECT_EQ(declared.Title, QString::fromUtf8("Caf\u00e9 \u201cNoir\u201d"));
    const Feed header =
        ReadFeed("<?xml version=\"1.0\"?><rss><channel><title>Caf\xe9</title></channel></rss>", kSite + "/",
                 "iso-8859-1");
    EXPECT_EQ(header.Title, QString::fromUtf8("Caf\u00e9"));
    const Feed undeclared = ReadFeed("<rss><channel><title>Caf\xe9</title></channel></rss>", kSite + "/");
    EXPECT_EQ(undeclared.Title, QString::fromUtf8("Caf\u00e9"));
    const Feed utf8 = ReadFeed("<rss><channel><title>Caf\xc3\xa9</title></channel></rss>", kSite + "/");
    EXPECT_EQ(utf8.Title, QString::fromUtf8("Caf\u00e9"));

    const Feed html = ReadFeed("<html><head><title>x</title></head></html>", kSite + "/");
    EXPECT_EQ(html.Kind, FeedKind::None);
    const Feed garbage = ReadFeed("\x01\x02 not xml", kSite + "/");
    EXPECT_EQ(garbage.Kind, FeedKind::None);
    EXPECT_FALSE(garbage.Error.isEmpty());
}

TEST(FeedReader, OnlyWebAddressesAreTaken)
{
    const Feed feed =
        ReadFeed("<rss><channel><item><link>javascript:alert(1)</link>"
                 "<enclosure url=\"file:///etc/passwd\" type=\"image/png\"/>"
                 "<description>&lt;img src=\"data:image/png;base64,AAAA\"&gt;"
                 "&lt;img src=\"https://cdn.test/s.png\"&gt;</description></item></channel></rss>",
                 "https://comics.test/feed");
    ASSERT_EQ(feed.Items.size(), 1u);
    EXPECT_EQ(feed.Items[0].Link, "");
    EXPECT_EQ(feed.Items[0].Picture, "https://cdn.test/s.png");
}

TEST(ItemChoice, EveryNewItemOldestFirstTheNewestUpToTheLimitAndTheRestCounted)
{
    auto item = [](const char* title, const char* date, const char* picture = "") {
        FeedItem i;
        i.Title = title;
        if (*date)
            i.Date = ParseFeedDate(date);
        if (*picture)
            i.Pictures = QStringList{picture};
        return i;
    };
    const std::vector<FeedItem> items = {
        item("d5 early", "2026-12-05T08:00:00Z", "https://c.test/5a.png"),
        item("d5 late", "2026-12-05T20:00:00Z", "https://c.test/5b.png"),
        item("d3", "2026-12-03T12:00:00Z"),
        item("d4", "2026-12-04T12:00:00Z"),
        item("d6", "2026-12-06T23:30:00-05:00"),
        item("undated", ""),
        item("d2", "2026-12-02T12:00:00Z"),
    };
    const QDate today(2026, 12, 9);
    auto titles = [](const NewItems& chosen) {
        QStringList t;
        for (const ChosenItem& c : chosen.Chosen)
            t << c.Item.Title + "@" + c.Day.toString(Qt::ISODate);
        return t.join(", ").toStdString() + " +" + std::to_string(chosen.LeftOver);
    };
    EXPECT_EQ(titles(ChooseNewItems(items, QDate(2026, 12, 3), today, 10)),
              "d4@2026-12-04, d5 early@2026-12-05, d5 late@2026-12-05, d6@2026-12-07, undated@2026-12-09 +0");
    EXPECT_EQ(titles(ChooseNewItems(items, QDate(), today, 2)), "d6@2026-12-07, undated@2026-12-09 +5");
    // Three would cut 5 December in two: its strips come together, or not at all.
    EXPECT_EQ(titles(ChooseNewItems(items, QDate(), today, 3)), "d6@2026-12-07, undated@2026-12-09 +5");
    EXPECT_EQ(titles(ChooseNewItems(items, QDate(), today, 4)),
              "d5 early@2026-12-05, d5 late@2026-12-05, d6@2026-12-07, undated@2026-12-09 +3");
    EXPECT_EQ(titles(ChooseNewItems({items[0], items[1]}, QDate(), today, 1)), "d5 late@2026-12-05 +1")
        << "a newest day larger than the limit is the exception";
    EXPECT_EQ(titles(ChooseNewItems(items, today, today, 10)), " +0");
    // Items already stored are known by their picture, whatever their day.
    EXPECT_EQ(titles(ChooseNewItems(items, QDate(2026, 12, 4), today, 10,
                                    [](const QString& id) { return id == "https://c.test/5a.png"; })),
              "d5 late@2026-12-05, d6@2026-12-07, undated@2026-12-09 +0");

    // Same instant: the later in the document is the older. One picture named twice is one
    // strip; an item without picture is known by its page.
    std::vector<FeedItem> same = {item("b", "2026-12-05T08:00:00Z", "https://c.test/b.png"),
                                  item("a", "2026-12-05T08:00:00Z", "https://c.test/a.png"),
                                  item("a again", "2026-12-05T09:00:00Z", "https://c.test/a.png"),
                                  item("page", "2026-12-05T10:00:00Z")};
    same.back().Link = "https://c.test/page";
    EXPECT_EQ(ItemIdentity(same.back()), "https://c.test/page");
    EXPECT_EQ(titles(ChooseNewItems(same, QDate(), today, 10)),
              "a@2026-12-05, b@2026-12-05, page@2026-12-05 +0");
    EXPECT_EQ(titles(ChooseNewItems(same, QDate(), today, 10,
                                    [](const QString& id) { return id == "https://c.test/page"; })),
              "a@2026-12-05, b@2026-12-05 +0");
}

TEST(FeedReader, WhereTheOlderEntriesAre)
{
    struct PagingRow {
        const char* Description;
        const char* Document;
        const char* Next;
        const char* PrevArchive;
        bool Complete;
    };
    const PagingRow rows[] = {
        {"an Atom page and its next one, relative",
         "<feed xmlns=\"http://www.w3.org/2005/Atom\"><link href=\"/\"/><link rel=\"next\" href=\"p2.xml\"/>"
         "<link rel=\"next\" href=\"p3.xml\"/><entry><link rel=\"next\" "
         "href=\"/entry-next\"/></entry></feed>",
         "http://comics.test/feeds/p2.xml", "", false},
        {"RSS with atom:link prev-archive, IANA-written, beside its self link",
         "<rss xmlns:atom=\"http://www.w3.org/2005/Atom\"><channel><atom:link rel=\"self\" href=\"/f\"/>"
         "<atom:link rel=\"http://www.iana.org/assignments/relation/prev-archive\" href=\"/2025/11.xml\"/>"
         "<item><atom:link rel=\"next\" href=\"/item-next\"/></item></channel></rss>",
         "", "http://comics.test/2025/11.xml", false},
        {"a complete feed has nothing older, its links aside",
         "<rss xmlns:atom=\"http://www.w3.org/2005/Atom\" "
         "xmlns:fh=\"http://purl.org/syndication/history/1.0\">"
         "<channel><fh:complete/><atom:link rel=\"next\" href=\"/n\"/></channel></rss>",
         "http://comics.test/n", "", true},
        {"no web address, no link",
         "<feed xmlns=\"http://www.w3.org/2005/Atom\"><link rel=\"prev-archive\" "
         "href=\"file:///etc/x\"/></feed>",
         "", "", false},
        {"the root's own link of an RSS feed is no paging link",
         "<rss><link rel=\"next\" href=\"/x\"/><channel><link>http://comics.test/</link></channel></rss>", "",
         "", false},
    };
    for (const PagingRow& row : rows) {
        SCOPED_TRACE(row.Description);
        const Feed feed = ReadFeed(row.Document, "http://comics.test/feeds/feed.xml");
        EXPECT_NE(feed.Kind, FeedKind::None);
        EXPECT_EQ(feed.Paging.Next.toStdString(), row.Next);
        EXPECT_EQ(feed.Paging.PrevArchive.toStdString(), row.PrevArchive);
        EXPECT_EQ(feed.Paging.Complete, row.Complete);
    }
    // WordPress's older pages of a feed.
    EXPECT_EQ(PagedFeedAddress("https://comics.test/feed/", 2), "https://comics.test/feed/?paged=2");
    EXPECT_EQ(PagedFeedAddress("https://comics.test/?feed=rss2&paged=2#x", 3),
              "https://comics.test/?feed=rss2&paged=3");
    EXPECT_EQ(PagedFeedAddress("ftp://comics.test/feed", 2), "");
    EXPECT_EQ(PagedFeedNumber("https://comics.test/feed/"), 1);
    EXPECT_EQ(PagedFeedNumber("https://comics.test/feed/?paged=7"), 7);
    EXPECT_EQ(PagedFeedNumber("https://comics.test/feed/?paged=x"), 0);
}

TEST(FeedReader, TheFeedsOwnNamesForItsItems)
{
    const Feed rss =
        ReadFeed("<rss version=\"2.0\"><channel><title>R</title>"
                 "<item><guid isPermaLink=\"false\"> tag:r,2026:1 </guid>"
                 "<enclosure url=\"/1.png\" type=\"image/png\"/></item>"
                 "<item><guid>http://r.test/2</guid><enclosure url=\"/2.png\" type=\"image/png\"/></item>"
                 "<item><guid>same</guid><enclosure url=\"/3.png\" type=\"image/png\"/></item>"
                 "<item><guid>same</guid><enclosure url=\"/4.png\" type=\"image/png\"/></item>"
                 "<item><guid>" +
                     QByteArray(1001, 'x') +
                     "</guid><enclosure url=\"/5.png\" type=\"image/png\"/></item>"
                     "</channel></rss>",
                 "http://r.test/feed");
    ASSERT_EQ(rss.Items.size(), 5u);
    EXPECT_EQ(rss.Items[0].Id, "tag:r,2026:1");
    EXPECT_EQ(rss.Items[0].Link, ""); // a guid that says it is no address is no page
    EXPECT_EQ(rss.Items[1].Id, "http://r.test/2");
    EXPECT_EQ(rss.Items[1].Link, "http://r.test/2");
    EXPECT_EQ(rss.Items[2].Id, ""); // shared: names no item
    EXPECT_EQ(rss.Items[3].Id, "");
    EXPECT_EQ(rss.Items[4].Id, "");
    EXPECT_EQ(ItemIdKey(rss.Items[0]), "id tag:r,2026:1");
    EXPECT_EQ(ItemIdKey(rss.Items[2]), "");

    const Feed atom = ReadFeed("<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>A</title>"
                               "<entry><id>urn:uuid:1</id><link href=\"/a/1\"/></entry></feed>",
                               "http://a.test/feed");
    ASSERT_EQ(atom.Items.size(), 1u);
    EXPECT_EQ(atom.Items[0].Id, "urn:uuid:1");
    EXPECT_EQ(atom.Items[0].Link, "http://a.test/a/1");

    const Feed rdf =
        ReadFeed("<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
                 "xmlns=\"http://purl.org/rss/1.0/\"><channel><title>D</title></channel>"
                 "<item rdf:about=\"http://d.test/7\"><title>7</title><link>http://d.test/7</link></item>"
                 "</rdf:RDF>",
                 "http://d.test/feed");
    ASSERT_EQ(rdf.Items.size(), 1u);
    EXPECT_EQ(rdf.Items[0].Id, "http://d.test/7");

    // Two items known by one key are one item: the second is not taken again.
    const NewItems chosen = ChooseNewItems(rss.Items, QDate(), QDate(2026, 12, 8), 10,
                                           [](const QString& key) { return key == "id http://r.test/2"; });
    EXPECT_EQ(chosen.Chosen.size(), 4u);
}
