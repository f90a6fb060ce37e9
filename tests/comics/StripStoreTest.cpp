#include "QtPrinters.h"
#include "comics/TComicInfo.h"
#include "comics/TComicStripsDB.h"
#include "platform/Exception.h"
#include "platform/FileStamp.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace pw::comics;

namespace {

class StripStoreTest : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    QString root = tmp.path() + "/Comics";

    void Touch(const QString& relative, const QByteArray& bytes = "x")
    {
        const QString path = root + "/" + relative;
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
        f.write(bytes);
    }
    QByteArray Read(const QString& relative) const
    {
        QFile f(root + "/" + relative);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    // The order in which the file system lists a folder, as the store sees it.
    QStringList Listed(const QString& relative) const
    {
        QStringList names;
        DIR* d = opendir(QFile::encodeName(root + "/" + relative).constData());
        while (const dirent* e = d ? readdir(d) : nullptr)
            names << QFile::decodeName(e->d_name);
        if (d)
            closedir(d);
        return names;
    }
    static QString NameOf(const std::optional<TComicStrip>& s)
    {
        return s ? s->FileName : QStringLiteral("none");
    }
};

TEST_F(StripStoreTest, CreatesItsFolderOneLevelAndEndsDirInSlash)
{
    TComicStripsDB db(root);
    EXPECT_TRUE(QFileInfo(root).isDir());
    EXPECT_EQ(db.Dir(), root + "/");
    EXPECT_EQ(TComicStripsDB(root + "/").Dir(), root + "/");

    const QString deep = tmp.path() + "/a/b";
    TComicStripsDB nested(deep);
    EXPECT_FALSE(QFileInfo(deep).exists());
    EXPECT_EQ(nested.NewestStrip("X"), std::nullopt);
}

TEST_F(StripStoreTest, NewestNextAndPreviousAcrossGifAndJpeg)
{
    Touch("X/X20011204.gif");
    Touch("X/X20011205.jpg");
    Touch("X/X.unr", "X20011205.jpg\r\n");
    TComicStripsDB db(root);

    const auto newest = db.NewestStrip("X");
    ASSERT_TRUE(newest);
    EXPECT_EQ(newest->FileName, "X20011205.jpg");
    EXPECT_EQ(newest->Date, QDate(2001, 12, 5));
    EXPECT_EQ(newest->ComicName, "X");
    EXPECT_EQ(newest->StripPath(), root + "/X/X20011205.jpg");

    TComicInfo comic("X", "http://example.invalid/x");
    EXPECT_EQ(db.NextStrip(comic), std::nullopt); // no current strip
    comic.CurrentStrip = TComicStrip::FromFileName("X20011204.gif", db.Dir());
    EXPECT_EQ(NameOf(db.NextStrip(comic)), "X20011205.jpg");
    EXPECT_EQ(NameOf(db.PreviousStrip(comic)), "none");
    comic.CurrentStrip = db.NextStrip(comic);
    EXPECT_EQ(NameOf(db.NextStrip(comic)), "none");
    EXPECT_EQ(NameOf(db.PreviousStrip(comic)), "X20011204.gif");
}

TEST_F(StripStoreTest, NextAndPreviousStepToTheNearestDateNotTheListingOrder)
{
    for (const char* n :
         {"X20020110.gif", "X20011231.gif", "X20020301.gif", "X20020105.gif", "X20011201.gif"})
        Touch(QString("X/") + n);
    TComicStripsDB db(root);
    TComicInfo comic("X", "");
    comic.CurrentStrip = TComicStrip::FromFileName("X20020105.gif", db.Dir());
    EXPECT_EQ(NameOf(db.NextStrip(comic)), "X20020110.gif");
    EXPECT_EQ(NameOf(db.PreviousStrip(comic)), "X20011231.gif");
    EXPECT_EQ(NameOf(db.NewestStrip("X")), "X20020301.gif");
}

TEST_F(StripStoreTest, SameDateGifAndJpegFirstListedWinsAndNeitherStepsToTheOther)
{
    Touch("X/X20011204.gif");
    Touch("X/X20011204.jpg");
    TComicStripsDB db(root);
    QString first;
    for (const QString& n : Listed("X"))
        if (n.startsWith("X2"))
            first = first.isEmpty() ? n : first;
    EXPECT_EQ(NameOf(db.NewestStrip("X")), first);

    TComicInfo comic("X", "");
    comic.CurrentStrip = TComicStrip::FromFileName("X20011204.gif", db.Dir());
    EXPECT_EQ(db.NextStrip(comic), std::nullopt);
    EXPECT_EQ(db.PreviousStrip(comic), std::nullopt);

    // Stepping onto such a pair also lands on the first listed.
    comic.CurrentStrip = TComicStrip::FromFileName("X20011203.gif", db.Dir());
    EXPECT_EQ(NameOf(db.NextStrip(comic)), first);
    comic.CurrentStrip = TComicStrip::FromFileName("X20011205.gif", db.Dir());
    EXPECT_EQ(NameOf(db.PreviousStrip(comic)), first);
}

TEST_F(StripStoreTest, PngStripsCountAsNewestOnceRead)
{
    Touch("X/X20011204.gif");
    Touch("X/X20011206.png");
    Touch("X/X.unr", "");
    TComicStripsDB db(root);
    EXPECT_EQ(db.FirstUnreadStrip("X"), std::nullopt);
    EXPECT_EQ(NameOf(db.NewestStrip("X")), "X20011206.png");
}

TEST_F(StripStoreTest, ExtensionCaseAndOddEntries)
{
    Touch("X/X20011204.gif");
    Touch("X/X20011206.GIF");                              // capitals: not newest, but navigable
    Touch("X/X20011207.bmp");                              // other extension: likewise
    Touch("X/X20011208");                                  // no extension: the date is not where it belongs
    Touch("X/X-notes.txt");                                // no date
    Touch("X/X2001.gif");                                  // too short
    Touch("X/X20011332.gif");                              // no such day
    Touch("X/XABCDEFGH.gif");                              // letters for digits
    Touch("X/Xtra20011230.gif");                           // another comic's name that begins with X
    Touch("X/x20011231.gif");                              // prefix matched with exact case
    Touch("X/other20011229.gif");                          // not beginning with the name
    ASSERT_TRUE(QDir().mkpath(root + "/X/X20011209.gif")); // folders count as entries
    TComicStripsDB db(root);

    EXPECT_EQ(NameOf(db.NewestStrip("X")), "X20011209.gif");

    TComicInfo comic("X", "");
    comic.CurrentStrip = TComicStrip::FromFileName("X20011204.gif", db.Dir());
    QStringList forward;
    while (auto next = db.NextStrip(comic)) {
        forward << next->FileName;
        comic.CurrentStrip = next;
    }
    EXPECT_EQ(forward, QStringList({"X20011206.GIF", "X20011207.bmp", "X20011209.gif"}));
    QStringList backward;
    while (auto prev = db.PreviousStrip(comic)) {
        backward << prev->FileName;
        comic.CurrentStrip = prev;
    }
    EXPECT_EQ(backward, QStringList({"X20011207.bmp", "X20011206.GIF", "X20011204.gif"}));
}

TEST_F(StripStoreTest, NonAsciiNamesAndExtensions)
{
    const QString cafe = QString::fromUtf8("Café");
    Touch(cafe + "/" + cafe + "20011204.gif");
    Touch(cafe + "/" + cafe + QString::fromUtf8("20011205.gïf"));  // a strip, but not a "gif"
    Touch(cafe + "/" + cafe + QString::fromUtf8("ä20011206.gif")); // another comic's name
    Touch(cafe + "/" + cafe + QString::fromUtf8("2001120ä.gif"));  // no date
    TComicStripsDB db(root);
    EXPECT_EQ(NameOf(db.NewestStrip(cafe)), cafe + "20011204.gif");
    TComicInfo comic(cafe, "");
    comic.CurrentStrip = db.NewestStrip(cafe);
    const auto next = db.NextStrip(comic);
    ASSERT_TRUE(next);
    EXPECT_EQ(next->FileName, cafe + QString::fromUtf8("20011205.gïf"));
    EXPECT_EQ(next->StripPath(), root + "/" + cafe + "/" + next->FileName);
    comic.CurrentStrip = next;
    EXPECT_EQ(db.NextStrip(comic), std::nullopt);
    EXPECT_TRUE(db.HasEntryFor(cafe, "20011205"));
}

TEST_F(StripStoreTest, ComicNameEndingInADateDoesNotTakeTheMarkerForAStrip)
{
    // "Y20011204.unr" would read as a strip of comic "Y"; as this comic's marker it is skipped.
    Touch("Y20011204/Y20011204.unr", "");
    Touch("Y20011204/Y2001120420020101.gif");
    TComicStripsDB db(root);
    TComicInfo comic("Y20011204", "");
    comic.CurrentStrip = TComicStrip::FromFileName("Y2001120420020101.gif", db.Dir());
    EXPECT_EQ(db.PreviousStrip(comic), std::nullopt);
    EXPECT_EQ(NameOf(db.NewestStrip("Y20011204")), "Y2001120420020101.gif");
}

TEST_F(StripStoreTest, MissingComicFolderGivesNothing)
{
    TComicStripsDB db(root);
    TComicInfo comic("Nobody", "");
    comic.CurrentStrip = TComicStrip::FromFileName("Nobody20011204.gif", db.Dir());
    EXPECT_EQ(db.NewestStrip("Nobody"), std::nullopt);
    EXPECT_EQ(db.NextStrip(comic), std::nullopt);
    EXPECT_EQ(db.PreviousStrip(comic), std::nullopt);
    EXPECT_EQ(db.FirstUnreadStrip("Nobody"), std::nullopt);
    EXPECT_EQ(db.UnreadCount("Nobody"), 0);
    EXPECT_FALSE(db.HasEntryFor("Nobody", "20011204"));
}

TEST_F(StripStoreTest, UnreadMarkersKeepAdditionOrderAndCrLf)
{
    Touch("X/X20011204.gif");
    TComicStripsDB db(root);
    const auto a = *TComicStrip::FromFileName("X20011210.gif", db.Dir());
    const auto b = *TComicStrip::FromFileName("X20011204.gif", db.Dir());

    db.MarkUnread(a);
    db.MarkUnread(b);
    db.MarkUnread(a); // no duplicate check
    EXPECT_EQ(Read("X/X.unr"), "X20011210.gif\r\nX20011204.gif\r\nX20011210.gif\r\n");
    // The first added, not the oldest date; the file it names need not exist.
    EXPECT_EQ(NameOf(db.FirstUnreadStrip("X")), "X20011210.gif");
    EXPECT_EQ(db.UnreadCount("X"), 3);

    db.MarkRead(a); // only the first equal line goes
    EXPECT_EQ(Read("X/X.unr"), "X20011204.gif\r\nX20011210.gif\r\n");
    EXPECT_THROW(db.MarkRead(*TComicStrip::FromFileName("x20011204.gif", db.Dir())), // no folder "x"
                 pw::platform::Exception);
    db.MarkRead(*TComicStrip::FromFileName("X20011231.gif", db.Dir())); // not listed: rewritten unchanged
    EXPECT_EQ(Read("X/X.unr"), "X20011204.gif\r\nX20011210.gif\r\n");
    db.MarkRead(b);
    db.MarkRead(a);
    EXPECT_EQ(Read("X/X.unr"), "");
    EXPECT_EQ(db.FirstUnreadStrip("X"), std::nullopt);
    EXPECT_EQ(db.UnreadCount("X"), 0);
}

TEST_F(StripStoreTest, MarkReadWithoutMarkerCreatesAnEmptyOne)
{
    Touch("X/X20011204.gif");
    TComicStripsDB db(root);
    db.MarkRead(*db.NewestStrip("X"));
    EXPECT_TRUE(QFile::exists(root + "/X/X.unr"));
    EXPECT_EQ(Read("X/X.unr"), "");
}

TEST_F(StripStoreTest, HandEditedMarkersAreReadWhateverTheirEndingsAndInvalidLinesSkipped)
{
    Touch("X/X.unr", "\n"
                     "garbage\r"
                     "Other20011201.gif\n"
                     "X2001133.gif\r\n"
                     "x20011202.gif\n"
                     "X20011203.gif\n"
                     "X20011202.gif");
    TComicStripsDB db(root);
    EXPECT_EQ(NameOf(db.FirstUnreadStrip("X")), "X20011203.gif");
    EXPECT_EQ(db.UnreadCount("X"), 2); // only the lines that are strips of X count
    db.MarkRead(*TComicStrip::FromFileName("X20011202.gif", db.Dir()));
    // Lines are kept as they were and written back with CR LF.
    EXPECT_EQ(Read("X/X.unr"),
              "\r\ngarbage\r\nOther20011201.gif\r\nX2001133.gif\r\nx20011202.gif\r\nX20011203.gif\r\n");
}

TEST_F(StripStoreTest, MarkerThatCannotBeWrittenThrowsNamingFileAndReason)
{
    Touch("Blocked", "a file where the comic folder should be");
    TComicStripsDB db(root);
    const auto strip = *TComicStrip::FromFileName("Blocked20011204.gif", db.Dir());
    try {
        db.MarkUnread(strip);
        FAIL() << "no exception";
    } catch (const pw::platform::Exception& e) {
        EXPECT_TRUE(e.Message().startsWith("Unable to write to " + root + "/Blocked/Blocked.unr: "))
            << e.what();
        EXPECT_GT(e.Message().size(),
                  QString("Unable to write to " + root + "/Blocked/Blocked.unr: ").size());
    }
    EXPECT_THROW(db.MarkRead(strip), pw::platform::Exception);
    EXPECT_EQ(Read("Blocked"), "a file where the comic folder should be");

    // A marker that cannot be read is not replaced by a shorter one.
    ASSERT_TRUE(QDir().mkpath(root + "/Z/Z.unr"));
    try {
        db.MarkUnread(*TComicStrip::FromFileName("Z20011204.gif", db.Dir()));
        FAIL() << "no exception";
    } catch (const pw::platform::Exception& e) {
        EXPECT_TRUE(e.Message().startsWith("Unable to read " + root + "/Z/Z.unr: ")) << e.what();
    }
    EXPECT_TRUE(QFileInfo(root + "/Z/Z.unr").isDir());
}

TEST_F(StripStoreTest, EmptyNamedComicLivesInTheComicsFolderItself)
{
    Touch("20011204.gif");
    Touch("20011205.jpg");
    Touch("Dilbert/Dilbert20011206.gif"); // a comic folder: no strip of the unnamed comic
    Touch("Zippy20011207.gif");           // begins with another name: not ours either
    TComicStripsDB db(root);
    const auto newest = db.NewestStrip("");
    ASSERT_TRUE(newest);
    EXPECT_EQ(newest->FileName, "20011205.jpg");
    EXPECT_EQ(newest->StripPath(), root + "/20011205.jpg");
    db.MarkUnread(*newest);
    EXPECT_EQ(Read(".unr"), "20011205.jpg\r\n");
    EXPECT_EQ(db.MarkerPath(""), root + "/.unr");
    EXPECT_EQ(NameOf(db.FirstUnreadStrip("")), "20011205.jpg");
    TComicInfo comic("", "");
    comic.CurrentStrip = newest;
    EXPECT_EQ(NameOf(db.PreviousStrip(comic)), "20011204.gif");
}

TEST_F(StripStoreTest, NamesThatWouldLeaveTheComicsFolderHaveNoStrips)
{
    Touch("../Outside/Outside20011204.gif");
    Touch("../Outside20011204.gif");
    TComicStripsDB db(root);
    EXPECT_EQ(db.NewestStrip("../Outside"), std::nullopt);
    EXPECT_EQ(db.NewestStrip(".."), std::nullopt);
    EXPECT_FALSE(db.HasEntryFor("../Outside", "20011204"));
    auto strip = TComicStrip::FromFileName("../Outside20011204.gif", db.Dir());
    ASSERT_TRUE(strip);
    EXPECT_THROW(db.MarkUnread(*strip), pw::platform::Exception);
    EXPECT_FALSE(QFile::exists(tmp.path() + "/Outside/Outside.unr"));
    EXPECT_TRUE(TComicStripsDB::IsUsableName(""));
    EXPECT_TRUE(TComicStripsDB::IsUsableName("Calvin and Hobbes..."));
    EXPECT_FALSE(TComicStripsDB::IsUsableName("."));
    EXPECT_FALSE(TComicStripsDB::IsUsableName("AC/DC"));
}

TEST_F(StripStoreTest, HasEntryForMatchesTheDateWithAnyOrNoExtension)
{
    Touch("X/X20011204.gif");
    Touch("X/X20011205");
    Touch("X/X200112066.gif");
    TComicStripsDB db(root);
    EXPECT_TRUE(db.HasEntryFor("X", "20011204"));
    EXPECT_TRUE(db.HasEntryFor("X", "20011205"));
    EXPECT_FALSE(db.HasEntryFor("X", "20011206"));
    EXPECT_FALSE(db.HasEntryFor("X", "20011207"));
    EXPECT_FALSE(db.HasEntryFor("x", "20011204"));
}

TEST(ComicStrip, FileNamesAndDates)
{
    const auto s = TComicStrip::FromFileName("Calvin and Hobbes19951231.gif", "/c");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->ComicName, "Calvin and Hobbes");
    EXPECT_EQ(s->Date, QDate(1995, 12, 31));
    EXPECT_EQ(s->StripPath(), "/c/Calvin and Hobbes/Calvin and Hobbes19951231.gif");
    EXPECT_TRUE(TComicStrip::FromFileName("20000229.jpg", "/c/"));
    EXPECT_FALSE(TComicStrip::FromFileName("19000229.jpg", "/c/")); // not a leap year
    EXPECT_FALSE(TComicStrip::FromFileName("00001231.jpg", "/c/"));
    EXPECT_FALSE(TComicStrip::FromFileName("2001124.gif", "/c/"));
    EXPECT_FALSE(TComicStrip::FromFileName("X2001 204.gif", "/c/"));
    EXPECT_FALSE(TComicStrip::FromFileName("X+2011204.gif", "/c/"));
    EXPECT_FALSE(TComicStrip::FromFileName("", "/c/"));

    const auto a = *TComicStrip::FromFileName("A20011205.gif", "/c/");
    const auto b = *TComicStrip::FromFileName("A20011204.jpg", "/c/");
    const auto c = *TComicStrip::FromFileName("A20011204.gif", "/c/");
    EXPECT_TRUE(TComicStripsDB::IsLater(a, b));
    EXPECT_FALSE(TComicStripsDB::IsLater(b, a));
    EXPECT_FALSE(TComicStripsDB::IsLater(b, c));
    EXPECT_FALSE(TComicStripsDB::IsLater(c, b));
}

TEST(ComicStrip, EveryStripOfADayHasItsPlaceInTheName)
{
    struct Case {
        const char* name;
        const char* read; // "comic|yyyy-MM-dd|ordinal", or "" for no strip
    };
    const Case cases[] = {
        {"X20011204.gif", "X|2001-12-04|1"},
        {"X20011204-2.gif", "X|2001-12-04|2"},
        {"X20011204-10.png", "X|2001-12-04|10"},
        {"X20011204-9999.jpg", "X|2001-12-04|9999"},
        {"Two Words20011204-3.gif", "Two Words|2001-12-04|3"},
        {"20011204-2.gif", "|2001-12-04|2"},
        {"X-20011204-2.gif", "X-|2001-12-04|2"},
        // The old form wins where a name ends in eight digits: a comic named "A20011204-".
        {"A20011204-20020101.gif", "A20011204-|2002-01-01|1"},
        {"X20011204-10000.gif", ""}, // five digits
        {"X20011204-1.gif", ""},     // the first of a day has no suffix
        {"X20011204-02.gif", ""},
        {"X20011204-0.gif", ""},
        {"X20011204-.gif", ""},
        {"X20011204_2.gif", ""},
        {"X2001120-2.gif", ""},
        {"X20011304-2.gif", ""}, // no such month
        {"X20011204-2", ""},
        {"-2.gif", ""},
    };
    for (const Case& c : cases) {
        const auto strip = TComicStrip::FromFileName(c.name, "/c");
        const QString read = strip ? QStringLiteral("%1|%2|%3")
                                         .arg(strip->ComicName, strip->Date.toString(Qt::ISODate))
                                         .arg(strip->Ordinal)
                                   : QString();
        EXPECT_EQ(read, QString(c.read)) << c.name;
    }

    const auto first = *TComicStrip::FromFileName("A20011204.gif", "/c/");
    const auto second = *TComicStrip::FromFileName("A20011204-2.jpg", "/c/");
    const auto tenth = *TComicStrip::FromFileName("A20011204-10.gif", "/c/");
    const auto nextDay = *TComicStrip::FromFileName("A20011205.gif", "/c/");
    EXPECT_TRUE(TComicStripsDB::IsLater(second, first));
    EXPECT_TRUE(TComicStripsDB::IsLater(tenth, second)) << "by number, not by text";
    EXPECT_TRUE(TComicStripsDB::IsLater(nextDay, tenth));
    EXPECT_FALSE(TComicStripsDB::IsLater(first, second));
}

TEST_F(StripStoreTest, EveryStripOfADayIsVisitedInItsPlace)
{
    for (const char* n :
         {"X20011204-10.gif", "X20011205.gif", "X20011204-2.png", "X20011203.gif", "X20011204.gif",
          "X20011204-3.jpg", "X20011204-02.gif", "X20011204-1.gif", "Xtra20011204-4.gif"})
        Touch(QString("X/") + n);
    Touch("X/X.unr", "X20011204-3.jpg\r\nX20011204-02.gif\r\n");
    TComicStripsDB db(root);
    EXPECT_EQ(NameOf(db.NewestStrip("X")), "X20011205.gif");
    EXPECT_EQ(NameOf(db.OldestStrip("X")), "X20011203.gif");
    const auto unread = db.FirstUnreadStrip("X");
    ASSERT_TRUE(unread);
    EXPECT_EQ(unread->Ordinal, 3);
    EXPECT_EQ(db.UnreadCount("X"), 1) << "a line naming no strip is passed over";

    TComicInfo comic("X", "");
    comic.CurrentStrip = db.OldestStrip("X");
    QStringList forward;
    while (auto next = db.NextStrip(comic)) {
        forward << next->FileName;
        comic.CurrentStrip = next;
    }
    EXPECT_EQ(forward, QStringList({"X20011204.gif", "X20011204-2.png", "X20011204-3.jpg", "X20011204-10.gif",
                                    "X20011205.gif"}));
    QStringList backward;
    while (auto prev = db.PreviousStrip(comic)) {
        backward << prev->FileName;
        comic.CurrentStrip = prev;
    }
    EXPECT_EQ(backward, QStringList({"X20011204-10.gif", "X20011204-3.jpg", "X20011204-2.png",
                                     "X20011204.gif", "X20011203.gif"}));

    // The update's "already have it" and the next place of a day.
    EXPECT_TRUE(db.HasEntryFor("X", "20011204"));
    EXPECT_EQ(db.LastOrdinalOn("X", "20011204"), 10);
    EXPECT_EQ(db.LastOrdinalOn("X", "20011205"), 1);
    EXPECT_EQ(db.LastOrdinalOn("X", "20011206"), 0);
    Touch("X/X20011206-2.gif"); // its day's first is missing: the day is still not empty
    EXPECT_TRUE(db.HasEntryFor("X", "20011206"));
    EXPECT_EQ(db.LastOrdinalOn("X", "20011206"), 2);
    EXPECT_EQ(NameOf(db.NewestStrip("X")), "X20011206-2.gif");

    // Names beyond ASCII are read the same way.
    const QString cafe = QString::fromUtf8("Café");
    Touch(cafe + "/" + cafe + "20011204-2.gif");
    Touch(cafe + "/" + cafe + "20011204.gif");
    EXPECT_EQ(NameOf(db.NewestStrip(cafe)), cafe + "20011204-2.gif");
    EXPECT_EQ(db.LastOrdinalOn(cafe, "20011204"), 2);
}

TEST(ComicInfo, DateTextUsesTheShortDateFormat)
{
    TComicInfo comic("X", "");
    EXPECT_EQ(comic.DateText(), "");
    comic.CurrentStrip = TComicStrip::FromFileName("X20011204.gif", "/c/");
    const QString text = comic.DateText();
    // Whatever the locale, the short format parses back to the same day.
    const QDate back = QLocale::system().toDate(text, QLocale::ShortFormat);
    EXPECT_TRUE(back == QDate(2001, 12, 4) || back == QDate(1901, 12, 4)) << text.toStdString();
}

} // namespace

TEST_F(StripStoreTest, RewrittenMarkerKeepsItsPermissionsAndLeavesNoTemporaryFile)
{
    Touch("X/X20011204.gif");
    Touch("X/X.unr", "X20011203.gif\r\n");
    const QByteArray marker = QFile::encodeName(root + "/X/X.unr");
    ASSERT_EQ(::chmod(marker.constData(), 0640), 0);
    TComicStripsDB db(root);
    db.MarkUnread(*TComicStrip::FromFileName("X20011204.gif", db.Dir()));
    EXPECT_EQ(Read("X/X.unr"), "X20011203.gif\r\nX20011204.gif\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(marker.constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(QDir(root + "/X").entryList(QDir::Files | QDir::Hidden),
              (QStringList{"X.unr", "X20011204.gif"}));
}

namespace {

// Runs a tool of the system on the comics folder, as another program would change it.
void RunTool(const QString& tool, const QStringList& args)
{
    const QString program = QStandardPaths::findExecutable(tool);
    ASSERT_FALSE(program.isEmpty()) << tool.toStdString();
    ASSERT_EQ(QProcess::execute(program, args), 0) << tool.toStdString();
}

// Until the folder's last change lies far enough back for a listing of it to be kept.
void WaitUntilSettled(const QString& folder)
{
    for (;;) {
        const auto stamp = pw::platform::FileStamp::Of(QFile::encodeName(folder));
        ASSERT_TRUE(stamp);
        if (stamp->Settled())
            return;
        QThread::msleep(10);
    }
}

} // namespace

TEST_F(StripStoreTest, StripsAddedRemovedOrRenamedByAnotherProgramShowAtTheNextLookup)
{
    Touch("X/X20011201.gif");
    Touch("X/X20011202.gif");
    Touch("X/X20011203.gif");
    Touch("X/X.unr", "");
    const QString folder = root + "/X";
    TComicStripsDB db(root);
    TComicInfo comic("X", "");
    comic.CurrentStrip = TComicStrip::FromFileName("X20011202.gif", db.Dir());

    // Each time the folder has settled and been listed (and so may be kept) before the change.
    WaitUntilSettled(folder);
    EXPECT_EQ(NameOf(db.NewestStrip("X")), "X20011203.gif");
    EXPECT_EQ(NameOf(db.NextStrip(comic)), "X20011203.gif");
    EXPECT_EQ(NameOf(db.NewestStrip("X")), "X20011203.gif"); // asked again, nothing changed
    RunTool("touch", {folder + "/X20011205.gif"});
    EXPECT_EQ(NameOf(db.NewestStrip("X")), "X20011205.gif");

    WaitUntilSettled(folder);
    EXPECT_EQ(NameOf(db.NewestStrip("X")), "X20011205.gif");
    RunTool("mv", {folder + "/X20011205.gif", folder + "/X20011204.jpg"});
    EXPECT_EQ(NameOf(db.NewestStrip("X")), "X20011204.jpg");
    comic.CurrentStrip = TComicStrip::FromFileName("X20011203.gif", db.Dir());
    EXPECT_EQ(NameOf(db.NextStrip(comic)), "X20011204.jpg");

    WaitUntilSettled(folder);
    comic.CurrentStrip = TComicStrip::FromFileName("X20011202.gif", db.Dir());
    EXPECT_EQ(NameOf(db.PreviousStrip(comic)), "X20011201.gif");
    RunTool("rm", {folder + "/X20011201.gif"});
    EXPECT_EQ(NameOf(db.PreviousStrip(comic)), "none");

    // Reading a strip the marker does not list leaves the folder as it was.
    const auto before = pw::platform::FileStamp::Of(QFile::encodeName(folder));
    db.MarkRead(*comic.CurrentStrip);
    EXPECT_TRUE(before == pw::platform::FileStamp::Of(QFile::encodeName(folder)));

    // A whole folder put in the comic folder's place is another folder.
    WaitUntilSettled(folder);
    EXPECT_EQ(NameOf(db.NextStrip(comic)), "X20011203.gif");
    RunTool("mv", {folder, root + "/Old X"});
    Touch("X/X20011210.gif");
    EXPECT_EQ(NameOf(db.NextStrip(comic)), "X20011210.gif");
}
