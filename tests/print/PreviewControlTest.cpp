// The preview control as the print dialog uses it: paper, margins, units, recording and
// showing pages, and fitting the sheet into the control.
#include "print/TPaperPreview.h"
#include "print/TPrintPreview.h"

#include <QPainter>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

using namespace pw::print;

TEST(PreviewControl, PaperMarginsAndUnits)
{
    TPrintPreview preview;
    EXPECT_EQ(preview.MarginLeft(), 70);
    preview.SetMarginLeft(0);
    EXPECT_EQ(preview.MarginLeft(), 60); // the minimum margin
    preview.SetMarginLeft(70);

    preview.SetOrientation(TPrinterOrientation::Landscape);
    EXPECT_EQ(preview.PaperWidth(), 2970);
    EXPECT_EQ(preview.PaperHeight(), 2100);
    preview.SetOrientation(TPrinterOrientation::Landscape);
    EXPECT_EQ(preview.PaperWidth(), 2970);
    preview.SetOrientation(TPrinterOrientation::Portrait);

    preview.SetUnits(TUnits::mmHiMetric);
    EXPECT_EQ(preview.MarginLeft(), 688);
    EXPECT_EQ(preview.MarginBottom(), 688);
    EXPECT_EQ(preview.MinimumMargin(), 609);
    EXPECT_EQ(preview.PaperWidth(), 21008);
    EXPECT_EQ(preview.PrintableWidth(), 21008 - 2 * 688);
    EXPECT_EQ(preview.PixelsToUnits(96), 2540);

    // While recording the orientation stays.
    preview.BeginDoc();
    preview.SetOrientation(TPrinterOrientation::Landscape);
    EXPECT_EQ(preview.Orientation(), TPrinterOrientation::Portrait);
    preview.EndDoc();
}

TEST(PreviewControl, RecordingPagesAndChoosingTheCurrentOne)
{
    TPrintPreview preview;
    int changes = 0;
    preview.OnChange = [&] { ++changes; };
    preview.EndDoc(); // without BeginDoc: nothing
    EXPECT_EQ(preview.PageCount(), 0);
    EXPECT_EQ(changes, 0);
    preview.SetCurrentPage(2); // no pages: nothing
    EXPECT_EQ(preview.CurrentPage(), 0);

    preview.BeginDoc();
    ASSERT_NE(preview.Canvas(), nullptr);
    preview.BeginDoc(); // ignored while recording
    preview.NewPage();
    preview.NewPage();
    preview.EndDoc();
    EXPECT_EQ(preview.Canvas(), nullptr);
    EXPECT_EQ(preview.PageCount(), 3);
    EXPECT_EQ(preview.CurrentPage(), 1);

    struct Case {
        int set, expected;
    };
    for (const Case c : {Case{0, 1}, Case{2, 2}, Case{99, 3}, Case{-5, 1}}) {
        preview.SetCurrentPage(c.set);
        EXPECT_EQ(preview.CurrentPage(), c.expected) << c.set;
    }
    preview.setFocus();
    QTest::keyClick(&preview, Qt::Key_PageDown);
    EXPECT_EQ(preview.CurrentPage(), 2);
    QTest::keyClick(&preview, Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(preview.CurrentPage(), 3);
    QTest::keyClick(&preview, Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(preview.CurrentPage(), 1);

    changes = 0;
    preview.Clear();
    EXPECT_EQ(preview.PageCount(), 0);
    EXPECT_EQ(preview.CurrentPage(), 0);
    EXPECT_EQ(changes, 1);
}

TEST(PreviewControl, SheetFitsThePanelAndScrollsWhenZoomed)
{
    TPrintPreview preview;
    preview.resize(300, 600); // taller in proportion than A4
    preview.show();
    const TPaperPreview& sheet = preview.Sheet();
    const QWidget& panel = preview.InnerPanel();
    EXPECT_EQ(panel.size(), preview.size());
    EXPECT_EQ(sheet.width(), 300 - 12);
    EXPECT_EQ(sheet.x(), 6);
    EXPECT_EQ(sheet.y(), (600 - sheet.height()) / 2);
    // The page is 283 wide (border 1 on each side, shadow 3); A4 is 794 × 1123 pixels.
    EXPECT_EQ(sheet.PaperWidth(), 283);
    EXPECT_EQ(sheet.PaperHeight(), MulDiv(283, 1123, 794));
    EXPECT_FALSE(preview.HorzScrollBar().isVisible());
    EXPECT_FALSE(preview.VertScrollBar().isVisible());

    preview.resize(600, 300); // wider: the height decides
    EXPECT_EQ(sheet.height(), 300 - 12);
    EXPECT_EQ(sheet.y(), 6);

    preview.SetZoom(200); // A4 at 200 %: far larger than the control
    EXPECT_EQ(preview.ZoomState(), TZoomState::zsZoomOther);
    EXPECT_TRUE(preview.HorzScrollBar().isVisible());
    EXPECT_TRUE(preview.VertScrollBar().isVisible());
    EXPECT_EQ(preview.HorzScrollBar().maximum(), sheet.width() - panel.width() + 12);
    preview.setFocus();
    QTest::keyClick(&preview, Qt::Key_End);
    EXPECT_EQ(sheet.x(), 6 - preview.HorzScrollBar().maximum());
    QTest::keyClick(&preview, Qt::Key_Home);
    EXPECT_EQ(sheet.x(), 6);
    QTest::keyClick(&preview, Qt::Key_Down);
    EXPECT_EQ(preview.VertScrollBar().value(), 8);
}

TEST(PreviewControl, RecordedPageFillsTheSheetsPage)
{
    TPrintPreview preview;
    preview.resize(400, 400);
    preview.show();
    preview.BeginDoc();
    // The page's logical extent, in two halves: red left, blue right.
    const int w = preview.PaperWidth();
    const int h = preview.PaperHeight();
    preview.Canvas()->fillRect(QRect(0, 0, w / 2, h), Qt::red);
    preview.Canvas()->fillRect(QRect(w / 2, 0, w - w / 2, h), Qt::blue);
    preview.EndDoc();

    TPaperPreview& sheet = preview.Sheet();
    const QImage shot = sheet.grab().toImage();
    const QRect page = sheet.PageRect();
    EXPECT_EQ(page.width(), sheet.PaperWidth());
    EXPECT_EQ(shot.pixelColor(page.topLeft()), QColor(Qt::red));
    EXPECT_EQ(shot.pixelColor(page.bottomLeft()), QColor(Qt::red));
    EXPECT_EQ(shot.pixelColor(page.topRight()), QColor(Qt::blue));
    EXPECT_EQ(shot.pixelColor(page.bottomRight()), QColor(Qt::blue));
    // The frame stays around the page: the border at the corner, the shadow beyond it.
    EXPECT_EQ(shot.pixelColor(0, 0), QColor(Qt::black));
    EXPECT_EQ(shot.pixel(shot.width() - 1, shot.height() - 1), sheet.ShadowColor().rgb());
}
