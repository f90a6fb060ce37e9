// Renaming a comic of the user's own on disk, whole, and finished after a crash at any
// point of it.
#include "QtPrinters.h"
#include "comics/StripWords.h"
#include "comics/TComicRename.h"
#include "comics/TComicStripsDB.h"
#include "platform/IniFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

using namespace pw;
using comics::TComicRename;

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void Write(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(bytes);
}

QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

comics::StripWords Titled(const QString& title)
{
    comics::StripWords w;
    w.Title = title;
    return w;
}

// "Inky" with three strips (one the second of its day), unread marks, words and the
// update's memory, chosen, on screen and the wallpaper comic.
struct RenameTest : ::testing::Test {
    QTemporaryDir root;
    QString comics = root.filePath("Comics") + "/";
    QString catalogue = root.filePath("MyComics.urls");
    platform::TIniFile ini{root.filePath("panelwick.ini")};
    const QString address = "https://inkypen.test/rss";

    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(comics + "Inky"));
        for (const char* strip : {"Inky20261201.gif", "Inky20261202.png", "Inky20261202-2.png"})
            Write(comics + "Inky/" + strip, strip);
        Write(comics + "Inky/Inky notes.txt", "mine");
        Write(comics + "Inky/.source", "ETag=\"x\"\n");
        Write(comics + "Inky/Inky.unr", "Inky20261202.png\r\nInky20261202-2.png\r\n");
        Write(comics + "Inky/.words", comics::FormatStripWords({{"Inky20261201.gif", Titled("Monday")},
                                                                {"Inky20261202.png", Titled("Tue")}}));
        Write(catalogue, "Other\thttp://other.test/\r\nInky\thttp://inky.test/feed\r\n");
        ini.WriteBool("Comics", "Inky", true);
        ini.WriteString("Comics", "CurrentComic", "Inky");
        ini.WriteString("Wallpaper", "Comic", "Inky");
    }

    void ExpectRenamed()
    {
        const QString folder = comics + "Inky Pen/";
        EXPECT_FALSE(QFileInfo::exists(comics + "Inky"));
        EXPECT_EQ(Entries(folder),
                  (QStringList{".source", ".words", "Inky Pen.unr", "Inky Pen20261201.gif",
                               "Inky Pen20261202-2.png", "Inky Pen20261202.png", "Inky notes.txt"}));
        EXPECT_EQ(ReadAll(folder + "Inky Pen20261202-2.png"), "Inky20261202-2.png"); // contents follow
        EXPECT_EQ(ReadAll(folder + "Inky Pen.unr"), "Inky Pen20261202.png\r\nInky Pen20261202-2.png\r\n");
        const comics::StripWordsList words = comics::ParseStripWords(ReadAll(folder + ".words"));
        ASSERT_EQ(words.size(), 2u);
        EXPECT_EQ(words[0].first, "Inky Pen20261201.gif");
        EXPECT_EQ(words[0].second.Title, "Monday");
        EXPECT_EQ(ReadAll(folder + ".source"), "ETag=\"x\"\n");
        EXPECT_EQ(ReadAll(catalogue), "Other\thttp://other.test/\r\nInky Pen\t" + address.toUtf8() + "\r\n");
        EXPECT_TRUE(ini.ReadBool("Comics", "Inky Pen", false));
        EXPECT_FALSE(ini.ReadBool("Comics", "Inky", true));
        EXPECT_EQ(ini.ReadString("Comics", "CurrentComic", ""), "Inky Pen");
        EXPECT_EQ(ini.ReadString("Wallpaper", "Comic", ""), "Inky Pen");
        EXPECT_FALSE(QFileInfo::exists(TComicRename::JournalPath(catalogue)));
        // The store finds them under the new name.
        comics::TComicStripsDB db(comics);
        const auto unread = db.FirstUnreadStrip("Inky Pen");
        ASSERT_TRUE(unread.has_value());
        EXPECT_EQ(unread->FileName, "Inky Pen20261202.png");
        EXPECT_TRUE(db.NewestStrip("Inky Pen")->FileName.startsWith("Inky Pen20261202"));
    }
};

} // namespace

TEST_F(RenameTest, EverythingNamedAfterTheComicFollowsItsNewName)
{
    QString error;
    ASSERT_TRUE(TComicRename(comics, catalogue, ini).Run("Inky", "Inky Pen", address, &error))
        << error.toStdString();
    ExpectRenamed();
}

TEST_F(RenameTest, ACrashAtAnyStepIsFinishedAtTheNextStart)
{
    // What the disk holds when the program stops after each step of the rename.
    const QByteArray journal = "From=Inky\nTo=Inky Pen\nAddress=" + address.toUtf8() + "\nChosen=1\n";
    const QString folder = comics + "Inky Pen/";
    const std::vector<std::pair<const char*, std::function<void()>>> crashes = {
        {"after the journal", [] {}},
        {"after the folder", [&] { QDir().rename(comics + "Inky", comics + "Inky Pen"); }},
        {"half way through the strips",
         [&] {
             QDir().rename(comics + "Inky", comics + "Inky Pen");
             QDir().rename(folder + "Inky20261202.png", folder + "Inky Pen20261202.png");
         }},
        {"with both markers",
         [&] {
             QDir().rename(comics + "Inky", comics + "Inky Pen");
             for (const char* date : {"20261201.gif", "20261202.png", "20261202-2.png"})
                 QDir().rename(folder + "Inky" + date, folder + "Inky Pen" + date);
             Write(folder + "Inky Pen.unr", "Inky Pen20261202.png\r\n");
         }},
        {"before the settings", [&] {
             QDir().rename(comics + "Inky", comics + "Inky Pen");
             for (const char* date : {"20261201.gif", "20261202.png", "20261202-2.png"})
                 QDir().rename(folder + "Inky" + date, folder + "Inky Pen" + date);
             QFile::remove(folder + "Inky.unr");
             Write(folder + "Inky Pen.unr", "Inky Pen20261202.png\r\nInky Pen20261202-2.png\r\n");
             Write(folder + ".words", comics::FormatStripWords({{"Inky Pen20261201.gif", Titled("Monday")},
                                                                {"Inky Pen20261202.png", Titled("Tue")}}));
             Write(catalogue, "Other\thttp://other.test/\r\nInky Pen\t" + address.toUtf8() + "\r\n");
         }}};
    // Finished at the next start, or when the user, told of a failure, asks again.
    for (const bool again : {false, true}) {
        for (const auto& [when, crash] : crashes) {
            SCOPED_TRACE(when);
            SCOPED_TRACE(again ? "asked again" : "next start");
            TearDown();
            QDir(comics).removeRecursively();
            SetUp();
            Write(TComicRename::JournalPath(catalogue), journal);
            crash();
            QString error;
            TComicRename rename(comics, catalogue, ini);
            ASSERT_TRUE(again ? rename.Run("Inky", "Inky Pen", address, &error) : rename.Resume(&error))
                << error.toStdString();
            ExpectRenamed();
        }
    }
}

TEST_F(RenameTest, ARefusedRenameChangesNothing)
{
    // A removed comic's strips are in the way: they stay its own.
    ASSERT_TRUE(QDir().mkpath(comics + "Gone"));
    const QStringList before = Entries(comics + "Inky");
    const QByteArray catalogueBefore = ReadAll(catalogue);
    QString error;
    EXPECT_FALSE(TComicRename(comics, catalogue, ini).Run("Inky", "Gone", address, &error));
    EXPECT_EQ(error, "the comics folder holds a folder named \"Gone\" already");
    EXPECT_EQ(Entries(comics + "Inky"), before);
    EXPECT_EQ(ReadAll(catalogue), catalogueBefore);
    EXPECT_TRUE(ini.ReadBool("Comics", "Inky", false));
    EXPECT_FALSE(QFileInfo::exists(TComicRename::JournalPath(catalogue)));

    // Letter case alone: one choice key, which stays on.
    ASSERT_TRUE(TComicRename(comics, catalogue, ini).Run("Inky", "INKY", address, &error))
        << error.toStdString();
    EXPECT_TRUE(QFileInfo::exists(comics + "INKY/INKY20261202-2.png"));
    EXPECT_TRUE(ini.ReadBool("Comics", "INKY", false));
    // The address alone.
    ASSERT_TRUE(TComicRename(comics, catalogue, ini).Run("INKY", "INKY", "https://new.test/", &error));
    EXPECT_EQ(ReadAll(catalogue), "Other\thttp://other.test/\r\nINKY\thttps://new.test/\r\n");
    EXPECT_TRUE(QFileInfo::exists(comics + "INKY/INKY.unr"));
}
