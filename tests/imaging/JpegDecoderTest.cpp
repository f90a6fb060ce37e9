#include "TestPaths.h"
#include "imaging/TJpegDecoder.h"
#include "platform/Exception.h"

#include <QFile>
#include <cstdlib>
#include <gtest/gtest.h>
#include <utility>

using pw::imaging::TJpegDecoder;
using pw::platform::Exception;

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

// JPEG is lossy: colours are compared within a tolerance.
::testing::AssertionResult Near(QRgb actual, int r, int g, int b, int tolerance = 12)
{
    if (std::abs(qRed(actual) - r) <= tolerance && std::abs(qGreen(actual) - g) <= tolerance &&
        std::abs(qBlue(actual) - b) <= tolerance && qAlpha(actual) == 255)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "got (" << qRed(actual) << "," << qGreen(actual) << "," << qBlue(actual) << ","
           << qAlpha(actual) << ") wanted (" << r << "," << g << "," << b << ")";
}

// 64x48 in four quadrants: red, lime / blue, yellow; sampled away from the edges.
void ExpectQuadrants(const QImage& img, int tolerance = 12)
{
    ASSERT_EQ(img.size(), QSize(64, 48));
    EXPECT_EQ(img.format(), QImage::Format_RGB32);
    EXPECT_TRUE(Near(img.pixel(8, 8), 255, 0, 0, tolerance));
    EXPECT_TRUE(Near(img.pixel(56, 8), 0, 255, 0, tolerance));
    EXPECT_TRUE(Near(img.pixel(8, 40), 0, 0, 255, tolerance));
    EXPECT_TRUE(Near(img.pixel(56, 40), 255, 255, 0, tolerance));
}

QString MessageOf(const char* name)
{
    try {
        TJpegDecoder::LoadFromFile(Image(name));
    } catch (const Exception& e) {
        return e.Message();
    }
    return {};
}

} // namespace

TEST(JpegDecoder, DecodesBaselineAndProgressivePictures)
{
    ExpectQuadrants(TJpegDecoder::LoadFromFile(Image("color.jpg")));
    ExpectQuadrants(TJpegDecoder::LoadFromFile(Image("progressive.jpg")));
    ExpectQuadrants(TJpegDecoder::LoadFromBuffer(Bytes("color.jpg")));
}

TEST(JpegDecoder, DecodesGrayscaleToEqualChannels)
{
    const QImage img = TJpegDecoder::LoadFromFile(Image("gray.jpg"));
    ASSERT_EQ(img.size(), QSize(64, 48));
    EXPECT_EQ(img.format(), QImage::Format_RGB32);
    const QRgb left = img.pixel(10, 24);
    const QRgb right = img.pixel(54, 24);
    EXPECT_TRUE(Near(left, 64, 64, 64, 4));
    EXPECT_TRUE(Near(right, 200, 200, 200, 4));
    EXPECT_EQ(qRed(left), qBlue(left));
    EXPECT_EQ(qGreen(right), qBlue(right));
}

TEST(JpegDecoder, DecodesAdobeCmyk)
{
    // Written by ImageMagick with an Adobe marker (inverted CMYK); read without
    // inverting, red would come out cyan.
    ExpectQuadrants(TJpegDecoder::LoadFromFile(Image("cmyk.jpg")), 24);
}

TEST(JpegDecoder, BrokenFilesThrowAMessageNamingTheFileAndTheReason)
{
    const std::pair<const char*, const char*> cases[] = {
        {"empty.jpg", "Empty input file"},         {"truncated.jpg", "Premature end of JPEG file"},
        {"header-only.jpg", "Premature end"},      {"garbage.jpg", "Not a JPEG file"},
        {"corrupt-data.jpg", "Corrupt JPEG data"}, {"huge.jpg", "60000 x 60000"},
        {"quadrants.gif", "Not a JPEG file"},      {"does-not-exist.jpg", "No such file"}};
    for (const auto& [name, reason] : cases) {
        const QString message = MessageOf(name);
        EXPECT_TRUE(
            message.startsWith(QStringLiteral("Cannot read JPEG file ") + Image(name) + QStringLiteral(": ")))
            << name << ": " << message.toStdString();
        EXPECT_TRUE(message.contains(QLatin1String(reason))) << name << ": " << message.toStdString();
    }
}

TEST(JpegDecoder, BrokenBuffersThrowToo)
{
    EXPECT_THROW(TJpegDecoder::LoadFromBuffer(QByteArray()), Exception);
    EXPECT_THROW(TJpegDecoder::LoadFromBuffer(Bytes("truncated.jpg")), Exception);
    try {
        TJpegDecoder::LoadFromBuffer(Bytes("garbage.jpg"));
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_TRUE(e.Message().startsWith(QStringLiteral("Cannot read JPEG data: "))) << e.what();
    }
}

TEST(JpegDecoder, EveryCutOfAGoodFileThrowsOrDecodesWhole)
{
    const QByteArray whole = Bytes("progressive.jpg");
    const QImage full = TJpegDecoder::LoadFromBuffer(whole);
    int failures = 0;
    for (qsizetype n = 0; n < whole.size(); ++n) {
        try {
            const QImage img = TJpegDecoder::LoadFromBuffer(whole.left(n));
            EXPECT_EQ(img, full) << "cut at " << n;
        } catch (const Exception&) {
            ++failures;
        }
    }
    // Only a cut inside the final end marker may still give the whole picture.
    EXPECT_GE(failures, whole.size() - 2);
}

TEST(JpegDecoder, DecodesAgainAfterAFailure)
{
    // The error path must leave nothing behind that spoils the next picture.
    EXPECT_THROW(TJpegDecoder::LoadFromFile(Image("corrupt-data.jpg")), Exception);
    ExpectQuadrants(TJpegDecoder::LoadFromFile(Image("color.jpg")));
}

TEST(JpegDecoder, AProgressivePictureOfMoreThanAHundredScansIsRefused)
{
    // One scan per coefficient is fine; the same file with its last scan repeated, a
    // pass over the whole picture each, is refused before the passes are made.
    const QImage gray = TJpegDecoder::LoadFromFile(Image("scans-64.jpg"));
    ASSERT_EQ(gray.size(), QSize(64, 48));
    EXPECT_TRUE(Near(gray.pixel(8, 8), 64, 64, 64));
    EXPECT_EQ(MessageOf("scans-124.jpg"),
              "Cannot read JPEG file " + Image("scans-124.jpg") + ": the picture has more than 100 scans");
    EXPECT_THROW(TJpegDecoder::LoadFromBuffer(Bytes("scans-124.jpg")), Exception);
}
