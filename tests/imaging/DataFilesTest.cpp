#include "TestPaths.h"
#include "comics/ComicName.h"
#include "comics/ComicSite.h"
#include "comics/TComicsList.h"
#include "imaging/TGifDecoder.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

using pw::imaging::TGifDecoder;

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

QString DataPath(const char* relative)
{
    return pw::test::SourceDir() + QStringLiteral("/data/") + QLatin1String(relative);
}

} // namespace

// Outside any namespace: the macro declares the resource's init function where it stands.
static void InitResources()
{
    Q_INIT_RESOURCE(panelwick);
}

TEST(DataFiles, TheShippedCatalogueListsNoAddressThatCannotWork)
{
    // The fictional comic site's comics belong to the demo; what ships may only name real
    // web addresses, under names the catalogue accepts. It may be empty: the first start
    // offers "Add comic…".
    const QByteArray text = ReadAll(DataPath("Comics.urls"));
    QSet<QString> names;
    for (const auto& [name, address] : pw::comics::TComicsList::ParseCatalogue(text)) {
        QString why;
        EXPECT_TRUE(pw::comics::IsAcceptableComicName(name, &why))
            << name.toStdString() << ": " << why.toStdString();
        EXPECT_TRUE(address.startsWith("http://") || address.startsWith("https://")) << address.toStdString();
        EXPECT_FALSE(address.startsWith(pw::comics::kComicSiteBase)) << address.toStdString();
        EXPECT_FALSE(names.contains(name)) << "duplicate " << name.toStdString();
        names.insert(name);
    }
    EXPECT_TRUE(text.isEmpty() || text.endsWith("\r\n"));
}

TEST(DataFiles, NoticePicturesDecodeFromTheResources)
{
    InitResources();
    const QByteArray strips = ReadAll(QStringLiteral(":/notices/end-of-strips.gif"));
    const QByteArray comics = ReadAll(QStringLiteral(":/notices/end-of-comics.gif"));
    const QByteArray unread = ReadAll(QStringLiteral(":/notices/no-unread.gif"));
    EXPECT_NE(strips, comics);
    EXPECT_NE(unread, strips);
    EXPECT_NE(unread, comics);
    for (const QByteArray& data : {strips, comics, unread}) {
        const QImage img = TGifDecoder::GetGIFBuffer(data);
        ASSERT_FALSE(img.isNull());
        EXPECT_EQ(img.size(), QSize(300, 120));
        // Framed on white, with something drawn in the middle.
        EXPECT_EQ(img.pixel(0, 0), qRgb(255, 255, 255));
        EXPECT_NE(img.pixel(150, 60), img.pixel(0, 0));
    }
}

TEST(DataFiles, IconIsA32PixelPicture)
{
    InitResources();
    const QImage icon(QStringLiteral(":/icons/panelwick.png"));
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.size(), QSize(32, 32));
}

TEST(DataFiles, HelpPageLinksPointAtItsOwnSections)
{
    const QString html = QString::fromUtf8(ReadAll(DataPath("Help/index.html")));
    QSet<QString> ids;
    for (const auto& m : QRegularExpression(QStringLiteral("id=\"([^\"]+)\"")).globalMatch(html))
        ids.insert(m.captured(1));
    int links = 0;
    for (const auto& m : QRegularExpression(QStringLiteral("href=\"#([^\"]+)\"")).globalMatch(html)) {
        EXPECT_TRUE(ids.contains(m.captured(1))) << "dangling link #" << m.captured(1).toStdString();
        ++links;
    }
    EXPECT_GT(links, 10);
}
