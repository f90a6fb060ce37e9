#include "TestPaths.h"
#include "comics/ComicSite.h"
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

TEST(DataFiles, CatalogueLinesAreNameTabAddressOnTheComicSite)
{
    const QByteArray text = ReadAll(DataPath("Comics.urls"));
    ASSERT_TRUE(text.endsWith("\r\n"));
    QList<QByteArray> lines = text.split('\n');
    lines.removeLast(); // after the final line ending
    EXPECT_GE(lines.size(), 6);
    EXPECT_LE(lines.size(), 8);
    QSet<QByteArray> names;
    for (const QByteArray& line : lines) {
        ASSERT_TRUE(line.endsWith('\r')) << line.toStdString();
        const QList<QByteArray> fields = line.chopped(1).split('\t');
        ASSERT_EQ(fields.size(), 2) << line.toStdString();
        EXPECT_FALSE(fields[0].isEmpty());
        // The name becomes a folder, a file prefix and an INI key.
        EXPECT_FALSE(fields[0].contains('/') || fields[0].contains('=') || fields[0].contains('['))
            << fields[0].toStdString();
        EXPECT_TRUE(fields[1].startsWith(pw::comics::kComicSiteBase)) << fields[1].toStdString();
        EXPECT_GT(fields[1].size(), qsizetype(qstrlen(pw::comics::kComicSiteBase)));
        EXPECT_FALSE(names.contains(fields[0])) << "duplicate " << fields[0].toStdString();
        names.insert(fields[0]);
    }
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
