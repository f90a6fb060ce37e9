#include "QtPrinters.h"
#include "comics/ComicName.h"
#include "comics/TComicInfo.h"
#include "comics/TComicsList.h"
#include "comics/TUserCatalogue.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace pw::comics;

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST(UserCatalogue, AppendedAfterTheShippedOneRemovedLineByLine)
{
    QTemporaryDir dir;
    const QString shipped = dir.filePath("Comics.urls");
    const QString mine = dir.filePath("MyComics.urls");
    QFile f(shipped);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("Shipped\thttp://a.test/\r\n");
    f.close();

    TComicsList none;
    none.LoadCatalogue(shipped);
    none.LoadUserCatalogue(mine); // no file: nothing more
    EXPECT_EQ(none.Count(), 1);

    QString error;
    ASSERT_TRUE(TUserCatalogue::Append(mine, "One", "https://one.test/feed", &error)) << error.toStdString();
    ASSERT_TRUE(TUserCatalogue::Append(mine, "Two", "http://two.test/", &error));
    ASSERT_TRUE(TUserCatalogue::Append(mine, "Three", "http://three.test/", &error));
    EXPECT_EQ(ReadAll(mine),
              "One\thttps://one.test/feed\r\nTwo\thttp://two.test/\r\nThree\thttp://three.test/\r\n");

    TComicsList all;
    all.LoadCatalogue(shipped);
    all.LoadUserCatalogue(mine);
    ASSERT_EQ(all.Count(), 4);
    EXPECT_FALSE(all.GetItem(0)->UserAdded);
    EXPECT_EQ(all.GetItem(1)->Name, "One");
    EXPECT_TRUE(all.GetItem(1)->UserAdded);
    EXPECT_TRUE(all.GetItem(3)->UserAdded);

    ASSERT_TRUE(TUserCatalogue::Remove(mine, "Two", &error)) << error.toStdString();
    EXPECT_EQ(ReadAll(mine), "One\thttps://one.test/feed\r\nThree\thttp://three.test/\r\n");
    EXPECT_EQ(ReadAll(shipped), "Shipped\thttp://a.test/\r\n"); // never written
}

TEST(ComicName, TheCatalogueRulesAndNamesMadeFromTitles)
{
    struct Row {
        const char* Text;
        bool Acceptable;
        const char* FromTitle;
    };
    const Row rows[] = {
        {"Escaped Ink", true, "Escaped Ink"},
        {"Caf\xC3\xA9 & Co", true, "Caf\xC3\xA9 & Co"},
        {"../../../etc", false, "etc"},
        {"a/b\\c", false, "a b c"},
        {".hidden", false, "hidden"},
        {"[Section]", false, "Section"},
        {"key=value", false, "key value"},
        {"tab\there", false, "tab here"},
        {"line\nbreak", false, "line break"},
        {"  ", false, ""},
        {" Padded ", false, "Padded"},
        {"ComicsDir", false, ""}, // another key of the section the names are kept in
        {"currentcomic", false, ""},
        {"", false, ""},
        {"...", false, ""},
        {"0123456789012345678901234567890123456789012345678901234567890123", true,
         "0123456789012345678901234567890123456789012345678901234567890123"},
        {"0123456789012345678901234567890123456789012345678901234567890123x", false,
         "0123456789012345678901234567890123456789012345678901234567890123"},
    };
    for (const Row& row : rows) {
        const QString text = QString::fromUtf8(row.Text);
        SCOPED_TRACE(row.Text);
        QString why;
        EXPECT_EQ(IsAcceptableComicName(text, &why), row.Acceptable);
        EXPECT_EQ(why.isEmpty(), row.Acceptable);
        EXPECT_EQ(ComicNameFromTitle(text), QString::fromUtf8(row.FromTitle));
    }
}
