#include "QtPrinters.h"
#include "comics/TComicStripsDB.h"
#include "comics/TComicsList.h"
#include "platform/Exception.h"
#include "platform/IniFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <string_view>

using namespace pw::comics;
using namespace std::literals;

namespace {

using Entries = std::vector<std::pair<QString, QString>>;

QByteArray Bytes(std::string_view v)
{
    return QByteArray(v.data(), static_cast<qsizetype>(v.size()));
}

TEST(CatalogueParse, EveryKindOfLineEnding)
{
    EXPECT_EQ(TComicsList::ParseCatalogue("A\tu1\r\nB\tu2\nC\tu3\rD\tu4"),
              (Entries{{"A", "u1"}, {"B", "u2"}, {"C", "u3"}, {"D", "u4"}}));
    // A final ending adds no line; an empty file has none.
    EXPECT_EQ(TComicsList::ParseCatalogue("A\tu\r\n"), (Entries{{"A", "u"}}));
    EXPECT_EQ(TComicsList::ParseCatalogue(""), Entries{});
    // LF CR is two endings, CR CR LF two as well.
    EXPECT_EQ(TComicsList::ParseCatalogue("A\tu\n\rB\tv").size(), 3u);
    EXPECT_EQ(TComicsList::ParseCatalogue("A\tu\r\r\nB\tv").size(), 3u);
    // Only empty lines: as many unnamed entries.
    EXPECT_EQ(TComicsList::ParseCatalogue("\r\n\r\n\n"), (Entries{{"", ""}, {"", ""}, {"", ""}}));
}

TEST(CatalogueParse, FirstTabSplitsAndNothingIsTrimmed)
{
    EXPECT_EQ(TComicsList::ParseCatalogue("Name\thttp://a/\textra\t"),
              (Entries{{"Name", "http://a/\textra\t"}}));
    EXPECT_EQ(TComicsList::ParseCatalogue("no tab at all"), (Entries{{"", "no tab at all"}}));
    EXPECT_EQ(TComicsList::ParseCatalogue("\tonly address"), (Entries{{"", "only address"}}));
    EXPECT_EQ(TComicsList::ParseCatalogue("only name\t"), (Entries{{"only name", ""}}));
    EXPECT_EQ(TComicsList::ParseCatalogue(" Spaced \t http://x/ "), (Entries{{" Spaced ", " http://x/ "}}));
    EXPECT_EQ(TComicsList::ParseCatalogue("Dup\ta\nDup\tb"), (Entries{{"Dup", "a"}, {"Dup", "b"}}));
}

TEST(CatalogueParse, EightBitAndBinaryBytes)
{
    const auto entries =
        TComicsList::ParseCatalogue(Bytes("Z\xc3\xbcrich\tu\nbin\x00\xff\xfe\tv\x01\n\xff"sv));
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].first, QString::fromUtf8("Zürich"));
    EXPECT_EQ(entries[1].first.size(), 6); // the NUL is kept, each bad byte becomes one character
    EXPECT_EQ(entries[1].first.at(3), QChar(0));
    EXPECT_EQ(entries[1].second, QString("v\x01"));
    EXPECT_EQ(entries[2].first, "");
    EXPECT_EQ(entries[2].second.size(), 1);
}

class CatalogueTest : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    QString urls = tmp.filePath("Comics.urls");
    TComicStripsDB db{tmp.filePath("Comics")};

    void Put(const QString& path, const QByteArray& bytes)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
};

TEST_F(CatalogueTest, LoadGivesEveryEntryItsFirstUnreadElseNewestStrip)
{
    Put(urls, "Dilbert\thttp://d/\r\nGarfield\thttp://g/\r\nNone\thttp://n/\r\nDilbert\thttp://d2/\r\n\r\n");
    Put(db.Dir() + "20011201.gif", "x"); // the unnamed comic's strip, in the comics folder itself
    Put(db.Dir() + "Dilbert/Dilbert20011204.gif", "x");
    Put(db.Dir() + "Dilbert/Dilbert20011205.gif", "x");
    Put(db.MarkerPath("Dilbert"), "Dilbert20011204.gif\r\n");
    Put(db.Dir() + "Garfield/Garfield20011204.gif", "x");
    Put(db.Dir() + "Garfield/Garfield20011206.jpg", "x");
    Put(db.MarkerPath("Garfield"), ""); // empty marker: falls back to newest

    TComicsList all;
    all.LoadCatalogue(urls, db);
    ASSERT_EQ(all.Count(), 5);
    EXPECT_EQ(all.Names(), QStringList({"Dilbert", "Garfield", "None", "Dilbert", ""}));
    EXPECT_EQ(all.GetItem(0)->PageURL, "http://d/");
    ASSERT_TRUE(all.GetItem(0)->CurrentStrip);
    EXPECT_EQ(all.GetItem(0)->CurrentStrip->FileName, "Dilbert20011204.gif");
    ASSERT_TRUE(all.GetItem(1)->CurrentStrip);
    EXPECT_EQ(all.GetItem(1)->CurrentStrip->FileName, "Garfield20011206.jpg");
    EXPECT_FALSE(all.GetItem(2)->CurrentStrip);
    ASSERT_TRUE(all.GetItem(3)->CurrentStrip); // duplicates are entries of their own
    EXPECT_NE(all.GetItem(3), all.GetItem(0));
    ASSERT_TRUE(all.GetItem(4)->CurrentStrip);
    EXPECT_EQ(all.GetItem(4)->CurrentStrip->StripPath(), db.Dir() + "20011201.gif");

    EXPECT_EQ(all.FindByName("Dilbert"), all.GetItem(0));
    EXPECT_EQ(all.FindByName("dilbert"), nullptr);
    EXPECT_EQ(all.FindByName(""), all.GetItem(4));
    EXPECT_EQ(all.FindByName("Nobody"), nullptr);
}

TEST_F(CatalogueTest, MissingOrUnreadableCatalogueThrowsNamingTheFile)
{
    TComicsList all;
    try {
        all.LoadCatalogue(urls, db);
        FAIL() << "no exception";
    } catch (const pw::platform::Exception& e) {
        EXPECT_TRUE(e.Message().contains(urls)) << e.what();
    }
    ASSERT_TRUE(QDir().mkdir(urls));
    EXPECT_THROW(all.LoadCatalogue(urls, db), pw::platform::Exception);
    EXPECT_EQ(all.Count(), 0);
}

TEST_F(CatalogueTest, HundredThousandLines)
{
    QByteArray bytes;
    for (int i = 0; i < 100000; ++i)
        bytes +=
            "Comic " + QByteArray::number(i) + "\thttp://comics.example/" + QByteArray::number(i) + "\r\n";
    Put(urls, bytes);
    TComicsList all;
    all.LoadCatalogue(urls, db);
    ASSERT_EQ(all.Count(), 100000);
    EXPECT_EQ(all.GetItem(99999)->Name, "Comic 99999");
    EXPECT_EQ(all.GetItem(99999)->PageURL, "http://comics.example/99999");
}

TEST_F(CatalogueTest, ChosenSplitFollowsTheConfigurationWithoutRegardToCase)
{
    Put(urls, "B\tb\nA\ta\nb\tb2\nC\tc\n\n");
    TComicsList all;
    all.LoadCatalogue(urls, db);
    pw::platform::TIniFile ini(tmp.filePath("panelwick.ini"));
    ini.WriteBool("Comics", "A", true);
    ini.WriteBool("Comics", "b", true); // the choice key of "B" too
    ini.WriteBool("Comics", "C", false);
    ini.WriteBool("Comics", "", true); // the unnamed comic
    ini.WriteString("Comics", "CurrentComic", "A");

    TComicsList toGet, notToGet;
    all.SplitChosen(ini, toGet, notToGet);
    EXPECT_EQ(toGet.Names(), QStringList({"B", "A", "b", ""})); // catalogue order
    EXPECT_EQ(notToGet.Names(), QStringList({"C"}));

    // Re-splitting after a change: every entry in exactly one list.
    ini.WriteBool("Comics", "A", false);
    toGet.Clear();
    notToGet.Clear();
    all.SplitChosen(ini, toGet, notToGet);
    for (int i = 0; i < all.Count(); ++i) {
        TComicInfo* c = all.GetItem(i);
        EXPECT_NE(toGet.IndexOf(c) >= 0, notToGet.IndexOf(c) >= 0) << c->Name.toStdString();
    }
    EXPECT_EQ(notToGet.Names(), QStringList({"A", "C"}));
    EXPECT_EQ(all.Count(), 5); // Clear on the others leaves the catalogue alone
}

} // namespace
