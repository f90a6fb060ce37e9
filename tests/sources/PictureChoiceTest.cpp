// Which picture is an item's or a page's strip: tables over the documents of
// tests/fixtures/sites (shaped like real feeds and pages) and over single candidates.
#include "sources/PictureChoice.h"
#include "sources/FeedReader.h"
#include "sources/HtmlHead.h"
#include "sources/SiteDomain.h"

#include "TestPaths.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace pw::sources;

namespace {

const QString kSite = QStringLiteral("https://comics.test");
const QString kOther = QStringLiteral("https://other.test");

QByteArray SiteFile(const QString& path)
{
    QFile f(pw::test::FixturePath("sites/" + path));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll().replace("@SITE@", kSite.toLatin1()).replace("@OTHER@", kOther.toLatin1());
}

QString Joined(const QStringList& addresses)
{
    QStringList shown;
    for (const QString& a : addresses)
        shown << (a.startsWith(kSite) ? a.mid(kSite.size()) : a);
    return shown.join(' ');
}

} // namespace

TEST(PictureChoice, ItemsOfFeedsShapedLikeRealOnes)
{
    struct Row {
        const char* Feed;
        const char* Title;
        const char* Pictures;   // of each item in document order, "|" between items
        const char* LastResort; // likewise
    };
    const Row rows[] = {
        // The banner, the share buttons and the counters are gone: only the strip is left.
        {"inked/feed.xml", "Inked Daily: Saturday", "/inked/comics/2026-12-05.gif|", "|"},
        {"mediaforms/feed.xml", "One",
         "/mediaforms/strips/1.jpg /mediaforms/strips/1-small.jpg|"
         "/mediaforms/render?id=2||/mediaforms/strips/4.png|"
         "/mediaforms/p/spacer.gif /mediaforms/strips/5.gif",
         "||/mediaforms/thumbs/3.gif||"},
        {"enclosed/index.rdf", "Strip 44", "/enclosed/files/44.png", ""},
        {"webp/feed.xml", "Lines 9", "/webp/strips/9.webp", ""},
        {"failing/feed.xml", "Fall 3", "/failing/strips/3.gif|/failing/strips/2.gif|", "||"},
        {"cards/feed.xml", "Card Tricks #88", "", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Feed);
        const Feed feed = ReadFeed(SiteFile(row.Feed), kSite + "/" + row.Feed);
        EXPECT_TRUE(feed.Error.isEmpty()) << feed.Error.toStdString();
        ASSERT_FALSE(feed.Items.empty());
        EXPECT_EQ(feed.Items[0].Title.toStdString(), row.Title);
        QStringList pictures, lastResort;
        for (const FeedItem& item : feed.Items) {
            pictures << Joined(item.Pictures);
            lastResort << Joined(item.LastResortPictures);
            EXPECT_EQ(item.Picture, item.Pictures.value(0));
        }
        EXPECT_EQ(pictures.join('|').toStdString(), row.Pictures);
        EXPECT_EQ(lastResort.join('|').toStdString(), row.LastResort);
    }
    // The strip's own words come along.
    const Feed inked = ReadFeed(SiteFile("inked/feed.xml"), kSite + "/inked/feed.xml");
    EXPECT_EQ(inked.Site, kSite + "/inked/");
    EXPECT_EQ(inked.Items[0].PictureTitle, "Weekends are for ink");
    EXPECT_EQ(inked.Items[0].PictureAlt, "Saturday");
}

TEST(PictureChoice, PagesAndTheirCards)
{
    struct Row {
        const char* Page;
        const char* Address;
        const char* HomeCard; // the home page's og:image; "" when not known
        const char* Title;
        const char* Picture;
    };
    const Row rows[] = {
        // The home page's card gives way to nothing marked as the comic: it is the picture.
        {"index.html", "/", "", "Hero Comics", "/img/hero.jpg"},
        // An item page with the home page's card: its main comic picture.
        {"comic/1205/index.html", "/comic/1205/", "", "Hero Comics - Page 1205", "/img/hero.jpg"},
        {"comic/1205/index.html", "/comic/1205/", "/img/hero.jpg", "Hero Comics - Page 1205",
         "/comics/1205.png"},
        // A card named as one: the picture in the element marked as the comic.
        {"cards/2026/12/04/index.html", "/cards/2026/12/04/", "", "Card Tricks #88",
         "/cards/uploads/2026/12/trick-88.png"},
        // Tags far into the body of a client-built page; its real title there too.
        {"spa/index.html", "/spa/", "", "Night Owl Strips", "/spa/media/owl-212.png"},
        {"latin/index.html", "/latin/", "", "Caf\u00e9 Cr\u00e8me \u2013 Strips", "/latin/strip-1201.gif"},
        {"nopicture/index.html", "/nopicture/", "", "Strip Club Blog", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.Page) + " " + row.HomeCard);
        const HtmlHead head = ScanHtmlHead(SiteFile(row.Page), kSite + row.Address);
        EXPECT_EQ(head.Title, QString::fromUtf8(row.Title));
        const QString home = *row.HomeCard ? kSite + row.HomeCard : QString();
        EXPECT_EQ(Joined({PagePicture(head, home)}).toStdString(), row.Picture);
    }
    // The header's character set wins over the page's own.
    const HtmlHead utf8 = ScanHtmlHead("<title>Caf\xc3\xa9</title>", kSite + "/x", "utf-8");
    EXPECT_EQ(utf8.Title, QString::fromUtf8("Caf\u00e9"));
    const HtmlHead latin =
        ScanHtmlHead("<meta charset=utf-8><title>Caf\xe9</title>", kSite + "/x", "iso-8859-1");
    EXPECT_EQ(latin.Title, QString::fromUtf8("Caf\u00e9"));
}

TEST(PictureChoice, CandidatesOneByOne)
{
    auto candidate = [](const char* address, int width = 0, int height = 0) {
        PictureCandidate c;
        c.Address = address;
        c.Width = width;
        c.Height = height;
        return c;
    };
    const QStringList site = {"https://www.comics.test/2026/12/07/strip/"};
    struct Row {
        const char* Description;
        std::vector<PictureCandidate> Candidates;
        const char* Best; // the first of Best, else of LastResort with "last resort: "
    };
    PictureCandidate mapped = candidate("https://comics.test/big.png", 900, 300);
    mapped.ImageMap = true;
    PictureCandidate linkedAd = candidate("https://cdn.ads.test/creative.png");
    linkedAd.LinkAddress = "https://adserver.other.test/click?id=1";
    PictureCandidate linkedHome = candidate("https://cdn.test/strip.png");
    linkedHome.LinkAddress = "https://comics.test/ads/"; // the comic's own site, whatever its name
    const Row rows[] = {
        {"pixels declared either way",
         {candidate("https://comics.test/p.gif", 1, 1), candidate("https://comics.test/q.gif", 600, 2),
          candidate("https://other.test/s.png")},
         "https://other.test/s.png"},
        {"an image map and a link to an ad server",
         {mapped, linkedAd, linkedHome},
         "https://cdn.test/strip.png"},
        {"the own site first, on any of its hosts",
         {candidate("https://cdn.other.test/a.png", 1200, 400), candidate("https://img.comics.test/b.png")},
         "https://img.comics.test/b.png"},
        {"then the largest declared",
         {candidate("https://comics.test/a.png", 600, 200), candidate("https://comics.test/b.png", 900, 300)},
         "https://comics.test/b.png"},
        {"ad-shaped sizes after the rest",
         {candidate("https://comics.test/a.png", 728, 90), candidate("https://comics.test/b.png")},
         "https://comics.test/b.png"},
        {"formats the program cannot show after those it can",
         {candidate("https://comics.test/a.webp", 900, 300), candidate("https://comics.test/b.gif")},
         "https://comics.test/b.gif"},
        {"declared smaller than a thumbnail", {candidate("https://comics.test/icon.png", 64, 64)}, ""},
        {"thumbnails by name and by size only as a last resort, the declared first",
         {candidate("https://comics.test/uploads/strip-150x150.jpg"),
          candidate("https://comics.test/x.png", 120, 120)},
         "last resort: https://comics.test/x.png"},
        {"no picture at all", {candidate("https://comics.test/episode.mp4")}, ""},
        {"the same address twice",
         {candidate("https://comics.test/a.png"), candidate("https://comics.test/a.png")},
         "https://comics.test/a.png"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Description);
        const RankedPictures ranked = RankPictures(row.Candidates, site);
        const QString best = !ranked.Best.empty() ? ranked.Best.front().Address
                             : !ranked.LastResort.empty()
                                 ? "last resort: " + ranked.LastResort.front().Address
                                 : QString();
        EXPECT_EQ(best.toStdString(), row.Best);
        if (std::string(row.Description) == "the same address twice") {
            EXPECT_EQ(ranked.Best.size(), 1u);
        }
    }
    EXPECT_EQ(RegistrableDomain("www.comics.test"), "comics.test");
    EXPECT_EQ(RegistrableDomain("www.example.co.uk."), "example.co.uk");
    EXPECT_EQ(RegistrableDomain("127.0.0.1"), "127.0.0.1");
}
