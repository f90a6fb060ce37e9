#include "TestPaths.h"
#include "imaging/TGifDecoder.h"
#include "imaging/TStripDecoder.h"
#include "platform/Exception.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using pw::imaging::TStripDecoder;

namespace {

QString Image(const char* name)
{
    return pw::test::FixturePath(QStringLiteral("images/") + QLatin1String(name));
}

// A fixture stored under a strip's file name.
class StripDecoder : public ::testing::Test {
protected:
    QString Store(const char* fixture, const QString& fileName)
    {
        const QString path = dir.filePath(fileName);
        QDir().mkpath(QFileInfo(path).absolutePath());
        EXPECT_TRUE(QFile::copy(Image(fixture), path)) << fixture;
        return path;
    }
    QTemporaryDir dir;
};

void ExpectQuadrants(const QImage& img)
{
    ASSERT_EQ(img.size(), QSize(40, 30));
    EXPECT_EQ(img.format(), QImage::Format_RGB32);
    EXPECT_EQ(img.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(20, 0), qRgb(0, 255, 0));
    EXPECT_EQ(img.pixel(0, 15), qRgb(0, 0, 255));
    EXPECT_EQ(img.pixel(39, 29), qRgb(255, 255, 0));
}

TEST_F(StripDecoder, OtherNamesAreDecodedByTheirContent)
{
    ExpectQuadrants(TStripDecoder::LoadFromFile(Store("quadrants.png", "X20011207.png")));
    ExpectQuadrants(TStripDecoder::LoadFromFile(Store("quadrants.bmp", "X20011208.bmp")));
    // Upper-case endings are not ".gif" or ".jpg": Qt's readers take them.
    const QImage gif = TStripDecoder::LoadFromFile(Store("quadrants.gif", "X20011206.GIF"));
    ExpectQuadrants(gif);
    EXPECT_EQ(
        gif,
        pw::imaging::TGifDecoder::GetGIFFile(Image("quadrants.gif")).convertToFormat(QImage::Format_RGB32));
    const QImage jpeg = TStripDecoder::LoadFromFile(Store("color.jpg", "X20011205.JPG"));
    ASSERT_EQ(jpeg.size(), QSize(64, 48));
    EXPECT_EQ(jpeg.format(), QImage::Format_RGB32);
    EXPECT_GT(qRed(jpeg.pixel(8, 8)), 240);
    // A PNG named ".gif" still goes to the GIF decoder, which does not know it.
    EXPECT_TRUE(TStripDecoder::LoadFromFile(Store("quadrants.png", "X20011209.gif")).isNull());
}

TEST_F(StripDecoder, TransparentPixelsBecomeWhite)
{
    const QImage img = TStripDecoder::LoadFromFile(Store("transparent.png", "X20011207.png"));
    ASSERT_EQ(img.size(), QSize(20, 20));
    EXPECT_EQ(img.format(), QImage::Format_RGB32);
    EXPECT_EQ(img.pixel(0, 0), qRgb(255, 255, 255));
    EXPECT_EQ(img.pixel(10, 10), qRgb(0, 0, 0));
}

TEST_F(StripDecoder, BrokenOrHostilePicturesGiveAnEmptyPicture)
{
    int day = 10;
    for (const char* fixture : {"truncated.png", "html.png", "huge.png", "empty.gif", "garbage.jpg"}) {
        const QString path = Store(fixture, QStringLiteral("X200112%1.png").arg(day++));
        EXPECT_TRUE(TStripDecoder::LoadFromFile(path).isNull()) << fixture;
    }
    EXPECT_TRUE(TStripDecoder::LoadFromFile(dir.filePath("Missing20011207.png")).isNull());
    // ".jpg" keeps its decoder, and its decoder's message.
    EXPECT_THROW(TStripDecoder::LoadFromFile(Store("garbage.jpg", "X20011207.jpg")), pw::platform::Exception);
}

TEST_F(StripDecoder, OnlyTheFileNameChoosesTheDecoder)
{
    ExpectQuadrants(TStripDecoder::LoadFromFile(Store("quadrants.png", "old.jpg/X20011207.png")));
}

} // namespace
