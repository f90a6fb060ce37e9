// Several strips of one day, and more new items than one update takes, through the real
// program in batch mode against nginx.
#include "BatchTest.h"
#include "NginxServer.h"
#include "QStringPrinter.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace pw;

using test::BatchTest;
using test::ReadAll;

namespace {

QByteArray Png(int seed)
{
    return "\x89PNG\r\n\x1A\n" + QByteArray(200, static_cast<char>('a' + seed));
}

struct Item {
    QString picture; // path on the server
    QDateTime when;
    QString guid = {}; // none when empty
};

struct SameDayBatchTest : BatchTest {
    test::NginxServer nginx;
    int served = 0; // each feed written gets a later time, so no answer is a 304

    void SetUp() override { ASSERT_TRUE(nginx.Start()) << nginx.Error().toStdString(); }

    // An RSS feed, newest item first, as feeds list them.
    void ServeFeed(const QString& path, std::vector<Item> items, const QString& query = QString())
    {
        std::sort(items.begin(), items.end(), [](const Item& a, const Item& b) { return a.when > b.when; });
        QByteArray xml = "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>T</title>";
        for (const Item& i : items)
            xml += "<item><title>" + i.picture.toUtf8() + "</title><pubDate>" +
                   i.when.toString(Qt::RFC2822Date).toUtf8() + "</pubDate>" +
                   (i.guid.isEmpty() ? QByteArray()
                                     : "<guid isPermaLink=\"false\">" + i.guid.toUtf8() + "</guid>") +
                   "<enclosure url=\"" + nginx.Url(i.picture + query).toUtf8() +
                   "\" type=\"image/png\"/></item>";
        xml += "</channel></rss>";
        ASSERT_TRUE(nginx.WriteFile(path, xml,
                                    QDateTime(QDate(2026, 11, 1), QTime(0, 0), Qt::UTC).addSecs(++served)));
    }
    void ServePicture(const QString& path, int seed) { ASSERT_TRUE(nginx.WriteFile(path, Png(seed))); }
    QStringList Strips(const QString& comic) const
    {
        QStringList files = FilesOf(comic);
        files.removeIf([](const QString& f) { return f.startsWith('.') || f.endsWith(".unr"); });
        return files;
    }
    QByteArray Unread(const QString& comic) const
    {
        return ReadAll(folder.filePath("Comics/" + comic + "/" + comic + ".unr"));
    }
};

QDateTime At(int day, int hour)
{
    return QDateTime(QDate(2026, 11, day), QTime(hour, 0), Qt::UTC);
}

} // namespace

TEST_F(SameDayBatchTest, EveryStripOfADayIsStoredOnceInPublicationOrder)
{
    std::vector<Item> day = {
        {"/d/noon.png", At(4, 12)}, {"/d/morning.png", At(4, 8)}, {"/d/evening.png", At(4, 18)}};
    ServeFeed("d/feed.xml", day);
    ServePicture("d/morning.png", 1);
    ServePicture("d/noon.png", 2);
    ServePicture("d/evening.png", 3);
    Choose("Day", nginx.Url("/d/feed.xml"));
    // A store written before: its newest day holds one strip and no record of which item
    // it was, so that day's items are taken as stored; only the next day's is new.
    ServeFeed("o/feed.xml", {{"/o/a.png", At(4, 8)}, {"/o/b.png", At(4, 12)}, {"/o/c.png", At(5, 9)}});
    ServePicture("o/a.png", 4);
    ServePicture("o/b.png", 5);
    ServePicture("o/c.png", 6);
    Choose("Old", nginx.Url("/o/feed.xml"));
    ASSERT_TRUE(QDir().mkpath(folder.filePath("Comics/Old")));
    ASSERT_TRUE(QFile(Strip("Old", "Old20261104.png")).open(QIODevice::WriteOnly));

    BatchTest::Result r = Run(nginx.Url(""));
    ASSERT_EQ(r.exitCode, 0) << r.errors.toStdString() << r.lines.join("\n").toStdString();
    EXPECT_TRUE(r.lines.contains("Day: New strip updated")) << r.lines.join("\n").toStdString();
    EXPECT_TRUE(r.lines.contains("Old: New strip updated")) << r.lines.join("\n").toStdString();
    EXPECT_EQ(ReadAll(Strip("Day", "Day20261104.png")), Png(1));
    EXPECT_EQ(ReadAll(Strip("Day", "Day20261104-2.png")), Png(2));
    EXPECT_EQ(ReadAll(Strip("Day", "Day20261104-3.png")), Png(3));
    EXPECT_EQ(Unread("Day"), "Day20261104.png\r\nDay20261104-2.png\r\nDay20261104-3.png\r\n");
    EXPECT_EQ(Strips("Old"), (QStringList{"Old20261104.png", "Old20261105.png"}));

    // The same feed again (a new answer, not a 304): nothing is new.
    ServeFeed("d/feed.xml", day);
    ServeFeed("o/feed.xml", {{"/o/a.png", At(4, 8)}, {"/o/b.png", At(4, 12)}, {"/o/c.png", At(5, 9)}});
    r = Run(nginx.Url(""));
    ASSERT_EQ(r.exitCode, 0) << r.errors.toStdString();
    EXPECT_EQ(r.lines.value(2), "0 updated, 2 didn't need a update, 0 failed.")
        << r.lines.join("\n").toStdString();
    EXPECT_EQ(Strips("Day").size(), 3) << Strips("Day").join(", ").toStdString();

    // A fourth strip of that day takes the next place.
    day.push_back({"/d/night.png", At(4, 23)});
    ServeFeed("d/feed.xml", day);
    ServePicture("d/night.png", 7);
    r = Run(nginx.Url(""));
    ASSERT_EQ(r.exitCode, 0) << r.errors.toStdString();
    EXPECT_TRUE(r.lines.contains("Day: New strip updated")) << r.lines.join("\n").toStdString();
    EXPECT_EQ(ReadAll(Strip("Day", "Day20261104-4.png")), Png(7));
    EXPECT_EQ(Strips("Day").size(), 4) << Strips("Day").join(", ").toStdString();
    EXPECT_EQ(Unread("Day"),
              "Day20261104.png\r\nDay20261104-2.png\r\nDay20261104-3.png\r\nDay20261104-4.png\r\n");
}

TEST_F(SameDayBatchTest, AnUpdateTakesTheTenNewestAndNamesTheRest)
{
    // 13 new items, one a day.
    std::vector<Item> items;
    for (int i = 0; i < 13; ++i) {
        items.push_back({QStringLiteral("/m/%1.png").arg(i), At(10 + i, 6)});
        ServePicture(QStringLiteral("m/%1.png").arg(i), i);
    }
    ServeFeed("m/feed.xml", items);
    Choose("Many", nginx.Url("/m/feed.xml"));

    const BatchTest::Result r = Run(nginx.Url(""));
    ASSERT_EQ(r.exitCode, 0) << r.errors.toStdString();
    EXPECT_EQ(r.lines.value(0),
              QString::fromUtf8("Many: New strip updated (10 stored; 3 more: Update → Fetch Older Strips)"))
        << r.lines.join("\n").toStdString();
    EXPECT_EQ(r.lines.value(1), "1 updated, 0 didn't need a update, 0 failed.");
    // The newest ten: items 3 to 12.
    QStringList expected;
    for (int day = 13; day <= 22; ++day)
        expected << QStringLiteral("Many202611%1.png").arg(day);
    QStringList stored = Strips("Many");
    stored.sort();
    EXPECT_EQ(stored, expected);
    EXPECT_EQ(ReadAll(Strip("Many", "Many20261113.png")), Png(3));
    EXPECT_EQ(ReadAll(Strip("Many", "Many20261122.png")), Png(12));
}

TEST_F(SameDayBatchTest, ItemsAreKnownByTheirGuidWhenTheirPictureAddressesChange)
{
    // Pictures behind a signing service: their addresses change at every fetch, the
    // items' guids do not.
    const std::vector<Item> signed_ = {{"/g/1.png", At(4, 8), "strip-1"},
                                       {"/g/2.png", At(4, 12), "strip-2"},
                                       {"/g/3.png", At(4, 18), "strip-3"}};
    // A feed that gives every item the channel's address as its guid: that names no item.
    const std::vector<Item> shared = {{"/s/1.png", At(4, 8), "http://shared.example/"},
                                      {"/s/2.png", At(4, 12), "http://shared.example/"},
                                      {"/s/3.png", At(4, 18), "http://shared.example/"}};
    for (int i = 1; i <= 3; ++i) {
        ServePicture(QStringLiteral("g/%1.png").arg(i), i);
        ServePicture(QStringLiteral("s/%1.png").arg(i), 3 + i);
    }
    ServeFeed("g/feed.xml", signed_, "?sig=first");
    ServeFeed("s/feed.xml", shared);
    Choose("Signed", nginx.Url("/g/feed.xml"));
    Choose("Shared", nginx.Url("/s/feed.xml"));

    BatchTest::Result r = Run(nginx.Url(""));
    ASSERT_EQ(r.exitCode, 0) << r.errors.toStdString();
    EXPECT_EQ(Strips("Signed").size(), 3) << Strips("Signed").join(", ").toStdString();
    EXPECT_EQ(Strips("Shared").size(), 3) << Strips("Shared").join(", ").toStdString();
    EXPECT_EQ(ReadAll(Strip("Shared", "Shared20261104-3.png")), Png(6));

    ServeFeed("g/feed.xml", signed_, "?sig=second");
    ServeFeed("s/feed.xml", shared);
    r = Run(nginx.Url(""));
    ASSERT_EQ(r.exitCode, 0) << r.errors.toStdString();
    EXPECT_EQ(r.lines.value(2), "0 updated, 2 didn't need a update, 0 failed.")
        << r.lines.join("\n").toStdString();
    EXPECT_EQ(Strips("Signed").size(), 3) << Strips("Signed").join(", ").toStdString();
    EXPECT_EQ(Strips("Shared").size(), 3) << Strips("Shared").join(", ").toStdString();
}
