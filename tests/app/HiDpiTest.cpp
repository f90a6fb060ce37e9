// The strip on a screen of twice the pixel density (QT_SCALE_FACTOR=2 for this program):
// at Actual Size each picture pixel is a sharp square of screen pixels, not a blur.
#include "AppFixture.h"
#include "MessageBoxRecorder.h"

#include "app/StripPicture.h"
#include "app/StripView.h"
#include "app/TForm1.h"

#include <QBuffer>
#include <QTest>
#include <gtest/gtest.h>

using namespace pw;

namespace {

// Set while static objects are made, before main makes the application object, which
// reads it: this test program's screen has twice the pixel density.
const bool kDoubleDensity = qputenv("QT_SCALE_FACTOR", "2");

// Red and blue in single-pixel checks: any smoothing mixes them into purple.
QByteArray CheckedPng(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, (x + y) % 2 ? qRgb(255, 0, 0) : qRgb(0, 0, 255));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

TEST(HiDpi, ActualSizeIsSharpOnADoubleDensityScreen)
{
    test::MessageBoxRecorder boxes;
    test::ProgramFolder folder;
    folder.WriteCatalogue("Checks\thttp://x/c/\r\n");
    folder.WriteIni("[Comics]\r\nChecks=1\r\n[Updates]\r\nUpdateProgramStart=0\r\n");
    folder.AddFile("Checks", "Checks20010101.png", CheckedPng(40, 20));
    test::TestProgram program;
    ASSERT_TRUE(program.Start(folder.Options()));
    app::TForm1& f = program.form;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    ASSERT_TRUE(kDoubleDensity);
    ASSERT_EQ(f.devicePixelRatioF(), 2.0) << "QT_SCALE_FACTOR=2 did not reach the program";

    const QImage area = f.scrollStrip->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int red = 0, blue = 0, other = 0;
    for (int y = 0; y < area.height(); ++y)
        for (int x = 0; x < area.width(); ++x) {
            const QRgb p = area.pixel(x, y) & 0xffffff;
            red += p == 0xff0000;
            blue += p == 0x0000ff;
            other += p != 0xff0000 && p != 0x0000ff && p != 0xffffff;
        }
    EXPECT_EQ(red, 40 * 20 / 2 * 4) << "each picture pixel is 2 x 2 screen pixels";
    EXPECT_EQ(blue, 40 * 20 / 2 * 4);
    EXPECT_EQ(other, 0) << "blended (blurred) pixels";
    EXPECT_TRUE(f.Image1->CopySize().isEmpty()) << "no scaled copy is needed at 100 %";
    EXPECT_TRUE(boxes.Texts().isEmpty());
}

} // namespace
