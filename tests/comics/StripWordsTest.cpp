// The words file: what a damaged or hostile file gives, and how it is kept within bounds.
#include "QtPrinters.h"
#include "comics/StripWordsFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace pw::comics;

namespace {

QByteArray Read(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST(StripWordsTest, ADamagedFileGivesOnlyCleanWordsOfWellFormedLines)
{
    const QByteArray file = "# comment\n"
                            "\n"
                            "A20010101.gif\tOne\tHover\tAlt\thttp://x.example/1\tNote\n"
                            "\tno file name\n"
                            "A20010102.gif\tTwo \x1b[2J\xe2\x80\xae\tline\rbreak\tx\tjavascript:alert(1)\n"
                            "A20010103.gif\n" // the name alone: no words
                            "A20010101.gif\tOne again\n"
                            "A20010104.gif\t" +
                            QByteArray(100000, 'x') + "\n" +        // far too long: passed over
                            "A20010105.gif\t\xff\xfe broken UTF-8"; // no final line end
    const StripWordsList list = ParseStripWords(file);
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0].first, "A20010101.gif");
    EXPECT_EQ(list[0].second.Title, "One again") << "a later line for the strip replaces the earlier";
    EXPECT_EQ(list[1].second.Title, "Two [2J") << "control and direction characters removed";
    EXPECT_EQ(list[1].second.TitleText, "line break");
    EXPECT_EQ(list[1].second.Page, "") << "only http(s) pages";
    EXPECT_TRUE(list[2].second.IsEmpty());
    EXPECT_EQ(list[3].first, "A20010105.gif");
    EXPECT_TRUE(list[3].second.Title.endsWith(" broken UTF-8"));
}

TEST(StripWordsTest, StoringKeepsOtherStripsBoundsFieldsAndTheNewestStrips)
{
    QTemporaryDir dir;
    const QString folder = dir.path();
    StripWords words;
    words.Title = QString(1000, 'T');
    words.TitleText = "tab\there";
    words.Page = "https://comics.example/a?b=c&d";
    ASSERT_TRUE(StripWordsFile::Store(folder, "A20010101.gif", words));
    StripWords other;
    other.Title = "Other";
    ASSERT_TRUE(StripWordsFile::Store(folder, "A20010102.gif", other));

    StripWordsFile reader;
    const StripWords back = reader.Find(folder, "A20010101.gif");
    EXPECT_EQ(back.Title.size(), StripWords::kMaxTitle);
    EXPECT_EQ(back.TitleText, "tab here");
    EXPECT_EQ(back.Page, words.Page);
    EXPECT_EQ(reader.Find(folder, "A20010102.gif").Title, "Other");
    EXPECT_TRUE(reader.Find(folder, "A20010103.gif").IsEmpty());
    EXPECT_FALSE(QDir(folder).entryList(QDir::Files | QDir::Hidden).filter(".words").isEmpty());

    // Stored again without words (a strip fetched anew): its old words go.
    ASSERT_TRUE(StripWordsFile::Store(folder, "A20010101.gif", StripWords()));
    EXPECT_TRUE(reader.Find(folder, "A20010101.gif").IsEmpty());
    EXPECT_EQ(reader.Find(folder, "A20010102.gif").Title, "Other");

    // A full file: one more strip pushes out the oldest.
    StripWordsList full = ParseStripWords(Read(StripWordsFile::PathIn(folder)));
    for (std::size_t i = 0; i < StripWordsFile::kMaxStrips + 3; ++i)
        full.emplace_back(QString("B%1.gif").arg(i), other);
    QFile write(StripWordsFile::PathIn(folder));
    ASSERT_TRUE(write.open(QIODevice::WriteOnly));
    write.write(FormatStripWords(full));
    write.close();
    ASSERT_TRUE(StripWordsFile::Store(folder, QString("B%1.gif").arg(StripWordsFile::kMaxStrips + 4), other));
    const StripWordsList kept = ParseStripWords(Read(StripWordsFile::PathIn(folder)));
    EXPECT_EQ(kept.size(), StripWordsFile::kMaxStrips);
    EXPECT_EQ(kept.back().first, QString("B%1.gif").arg(StripWordsFile::kMaxStrips + 4));
    EXPECT_TRUE(reader.Find(folder, "A20010102.gif").IsEmpty()) << "the oldest stored went first";

    // A folder that cannot be written to: no words, no crash, no file half-written.
    EXPECT_FALSE(StripWordsFile::Store(folder + "/missing", "A.gif", other));
}
