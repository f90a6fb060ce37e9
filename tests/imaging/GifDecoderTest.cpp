#include "TestPaths.h"
#include "imaging/TGifDecoder.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using pw::imaging::TGifDecoder;

namespace {

QString Image(const char* name)
{
    return pw::test::FixturePath(QStringLiteral("images/") + QLatin1String(name));
}

QByteArray Bytes(const char* name)
{
    QFile f(Image(name));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name;
    return f.readAll();
}

constexpr QRgb kWhite = 0xffffffffu;

} // namespace

TEST(GifDecoder, DecodesColoursAtTheirPlaces)
{
    const QImage img = TGifDecoder::GetGIFFile(Image("quadrants.gif"));
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.size(), QSize(40, 30));
    EXPECT_EQ(img.format(), QImage::Format_Indexed8);
    EXPECT_EQ(img.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(19, 14), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(20, 0), qRgb(0, 255, 0));
    EXPECT_EQ(img.pixel(0, 15), qRgb(0, 0, 255));
    EXPECT_EQ(img.pixel(39, 29), qRgb(255, 255, 0));
}

TEST(GifDecoder, BufferAndFileGiveTheSamePicture)
{
    const QImage fromFile = TGifDecoder::GetGIFFile(Image("quadrants.gif"));
    const QImage fromBuffer = TGifDecoder::GetGIFBuffer(Bytes("quadrants.gif"));
    ASSERT_FALSE(fromBuffer.isNull());
    EXPECT_EQ(fromFile, fromBuffer);
}

TEST(GifDecoder, ShowsOnlyTheFirstFrameOfAnAnimation)
{
    const QImage img = TGifDecoder::GetGIFFile(Image("animated.gif"));
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.size(), QSize(20, 20));
    for (const QPoint p : {QPoint(0, 0), QPoint(10, 10), QPoint(19, 19)})
        EXPECT_EQ(img.pixel(p), qRgb(255, 0, 0)) << p.x() << "," << p.y();
}

TEST(GifDecoder, PutsInterlacedRowsInTheirOrder)
{
    const QImage img = TGifDecoder::GetGIFFile(Image("interlaced.gif"));
    ASSERT_FALSE(img.isNull());
    ASSERT_EQ(img.size(), QSize(6, 16));
    // Row colours as ImageMagick wrote them, top to bottom.
    const QRgb rows[16] = {qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(0, 0, 255),     qRgb(255, 255, 0),
                           qRgb(0, 255, 255), qRgb(255, 0, 255), qRgb(255, 255, 255), qRgb(0, 0, 0),
                           qRgb(255, 165, 0), qRgb(128, 0, 128), qRgb(126, 126, 126), qRgb(0, 0, 128),
                           qRgb(0, 128, 128), qRgb(128, 128, 0), qRgb(128, 0, 0),     qRgb(255, 192, 203)};
    for (int y = 0; y < 16; ++y) {
        EXPECT_EQ(img.pixel(0, y), rows[y]) << "row " << y;
        EXPECT_EQ(img.pixel(5, y), rows[y]) << "row " << y;
    }
}

TEST(GifDecoder, TransparentPixelsBecomeWhite)
{
    const QImage img = TGifDecoder::GetGIFFile(Image("transparent.gif"));
    ASSERT_FALSE(img.isNull());
    EXPECT_FALSE(img.hasAlphaChannel());
    EXPECT_EQ(img.pixel(0, 0), kWhite);
    EXPECT_EQ(img.pixel(19, 19), kWhite);
    EXPECT_EQ(img.pixel(4, 10), kWhite);
    EXPECT_EQ(img.pixel(5, 5), qRgb(0, 0, 0));
    EXPECT_EQ(img.pixel(14, 14), qRgb(0, 0, 0));
}

TEST(GifDecoder, PlacesAFrameWithItsOwnColourMapOnTheScreen)
{
    // 12x10 screen, 5x4 frame at (4,3): rows red, blue, transparent, black.
    const QImage img = TGifDecoder::GetGIFFile(Image("offset-local-map.gif"));
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.size(), QSize(12, 10));
    EXPECT_EQ(img.pixel(4, 3), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(8, 3), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(4, 4), qRgb(0, 0, 255));
    EXPECT_EQ(img.pixel(6, 5), kWhite); // the transparent index, not its green
    EXPECT_EQ(img.pixel(8, 6), qRgb(0, 0, 0));
    // Outside the frame.
    EXPECT_EQ(img.pixel(3, 3), kWhite);
    EXPECT_EQ(img.pixel(9, 3), kWhite);
    EXPECT_EQ(img.pixel(4, 2), kWhite);
    EXPECT_EQ(img.pixel(4, 7), kWhite);
    EXPECT_EQ(img.pixel(11, 9), kWhite);
}

TEST(GifDecoder, GrowsAScreenSmallerThanItsFrame)
{
    QByteArray data = Bytes("quadrants.gif");
    ASSERT_GE(data.size(), 10);
    data[6] = 10; // screen 10 x 5, frame still 40 x 30
    data[7] = 0;
    data[8] = 5;
    data[9] = 0;
    const QImage img = TGifDecoder::GetGIFBuffer(data);
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.size(), QSize(40, 30));
    EXPECT_EQ(img.pixel(39, 29), qRgb(255, 255, 0));
}

TEST(GifDecoder, LeavesRealStripSizesAlone)
{
    const QImage img = TGifDecoder::GetGIFFile(Image("wide.gif"));
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.size(), QSize(3000, 200));
    EXPECT_EQ(img.pixel(2999, 199), qRgb(0, 0, 128));
}

TEST(GifDecoder, UnreadableInputGivesNoPicture)
{
    for (const char* name : {"empty.gif", "truncated.gif", "header-only.gif", "garbage.gif", "giant.gif",
                             "too-many-pixels.gif", "color.jpg", "does-not-exist.gif"}) {
        EXPECT_TRUE(TGifDecoder::GetGIFFile(Image(name)).isNull()) << name;
    }
    EXPECT_TRUE(TGifDecoder::GetGIFBuffer(QByteArray()).isNull());
    EXPECT_TRUE(TGifDecoder::GetGIFBuffer(Bytes("truncated.gif")).isNull());
    EXPECT_TRUE(TGifDecoder::GetGIFBuffer(Bytes("giant.gif")).isNull());
    QTemporaryDir dir; // a folder is no picture either
    ASSERT_TRUE(dir.isValid());
    EXPECT_TRUE(TGifDecoder::GetGIFFile(dir.path()).isNull());
}

TEST(GifDecoder, EveryCutOfAGoodFileFailsCleanly)
{
    // Each prefix either decodes to the full picture or to nothing; never half of one.
    const QByteArray whole = Bytes("offset-local-map.gif");
    const QImage full = TGifDecoder::GetGIFBuffer(whole);
    ASSERT_FALSE(full.isNull());
    for (qsizetype n = 0; n < whole.size(); ++n) {
        const QImage img = TGifDecoder::GetGIFBuffer(whole.left(n));
        if (!img.isNull()) {
            EXPECT_EQ(img, full) << "cut at " << n;
        }
    }
}
