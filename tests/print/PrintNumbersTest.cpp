// The arithmetic of printing: units, page layout, paper names and number texts.
#include "platform/Exception.h"
#include "print/LengthText.h"
#include "print/PaperNames.h"
#include "print/PreviewUnits.h"
#include "print/PrintLayout.h"
#include "print/TPrintSet.h"

#include <QLocale>
#include <QPageSize>
#include <gtest/gtest.h>
#include <limits>

using namespace pw::print;

TEST(PrintNumbers, MulDivRoundsHalvesAwayFromZeroAndReportsOverflow)
{
    EXPECT_EQ(MulDiv(5, 1, 2), 3);
    EXPECT_EQ(MulDiv(-5, 1, 2), -3);
    EXPECT_EQ(MulDiv(5, -1, 2), -3);
    EXPECT_EQ(MulDiv(7, 1, 3), 2);
    EXPECT_EQ(MulDiv(1, 1, 0), -1);
    EXPECT_EQ(MulDiv(std::numeric_limits<int>::max(), 4, 2), -1);
    EXPECT_EQ(MulDiv(std::numeric_limits<int>::max(), 1000, 1000), std::numeric_limits<int>::max());
}

TEST(PrintNumbers, ConversionsPassThroughWholePixels)
{
    struct Case {
        int value, resolution;
        TUnits from, to;
        int expected;
    };
    const Case cases[] = {
        {70, 96, TUnits::mmLoMetric, TUnits::mmHiMetric, 688}, // 26 pixels, not 700
        {60, 96, TUnits::mmLoMetric, TUnits::mmHiMetric, 609},
        {2100, 96, TUnits::mmLoMetric, TUnits::mmHiMetric, 21008},
        {96, 96, TUnits::mmPixel, TUnits::mmLoMetric, 254},
        {1, 96, TUnits::mmPixel, TUnits::mmLoMetric, 3}, // 2.65 → 3
        {254, 96, TUnits::mmLoMetric, TUnits::mmPixel, 96},
        {1440, 96, TUnits::mmTWIPS, TUnits::mmHiEnglish, 100},
        {10, 600, TUnits::mmLoEnglish, TUnits::mmPixel, 600},
        {42, 96, TUnits::mmHiMetric, TUnits::mmHiMetric, 42},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ConvertUnits(c.value, c.resolution, c.from, c.to), c.expected) << c.value;
}

TEST(PrintNumbers, PaperNamesComeFromThePrinterOrElseFromTheTable)
{
    EXPECT_EQ(FallbackPaperName(9), "A4 210 x 297 mm");
    EXPECT_EQ(FallbackPaperName(12), "B4 250 x 354");
    EXPECT_EQ(FallbackPaperName(22), "Envelope #12 4 \\276 x 11 in");
    EXPECT_EQ(FallbackPaperName(26), "E size sheet");
    EXPECT_EQ(FallbackPaperName(256), "User Defined Size");
    for (int code : {0, 27, 118, 255, -1})
        EXPECT_EQ(FallbackPaperName(code), "Unknown Paper Size") << code;

    EXPECT_EQ(PaperNamesFor({9, 1}, {"A4", "Letter"}), QStringList({"A4", "Letter"}));
    // Fewer names than papers: the table names every paper.
    EXPECT_EQ(PaperNamesFor({9, 118}, {"A4"}), QStringList({"A4 210 x 297 mm", "Unknown Paper Size"}));
    EXPECT_TRUE(PaperNamesFor({}, {}).isEmpty());
}

TEST(PrintNumbers, PaperIndexOutsideTheListIsRefusedAndNoPapersChangeNothing)
{
    const QList<QPageSize> papers = TPrintSet::PdfPapers();
    ASSERT_GE(papers.size(), 10);
    EXPECT_TRUE(papers.front().isEquivalentTo(QPageSize(QPageSize::Letter)));
    EXPECT_TRUE(TPrintSet::PaperAt(papers, 0)->isEquivalentTo(papers[0]));
    for (int bad : {static_cast<int>(papers.size()), -1, 1000}) {
        try {
            TPrintSet::PaperAt(papers, bad);
            ADD_FAILURE() << "index " << bad << " accepted";
        } catch (const pw::platform::Exception& e) {
            EXPECT_EQ(e.Message(), "Index out of range setting paper.");
        }
    }
    EXPECT_EQ(TPrintSet::PaperAt({}, 0), nullptr);
    EXPECT_EQ(TPrintSet::PaperAt({}, 7), nullptr);
}

namespace {
// A4 at 600 dpi, portrait and landscape.
const TPageGeometry kPortrait{4961, 7016, 600, 600};
const TPageGeometry kLandscape{7016, 4961, 600, 600};
} // namespace

TEST(PrintNumbers, PrintedRectangleForEveryLayout)
{
    struct Case {
        const char* what;
        TPrintLayout layout;
        TPageGeometry page;
        QSize strip;
        QRect expected;
    };
    TPrintLayout fit;
    TPrintLayout own;
    own.FitToPage = false;
    own.OwnScalePercent = 150;
    TPrintLayout placed = own;
    placed.HCentered = placed.VCentered = false;
    TPrintLayout placedOffset = placed;
    placedOffset.OffsetFromLeftMargin = 0.5;
    placedOffset.OffsetFromTopMargin = 0.25;
    placedOffset.LeftMargin = 1;
    placedOffset.TopMargin = 2;
    TPrintLayout fitMargins;
    fitMargins.LeftMargin = 1;
    fitMargins.RightMargin = 0.5;
    fitMargins.TopMargin = 0.25;
    fitMargins.BottomMargin = 3;
    TPrintLayout odd = own;
    odd.OwnScalePercent = 50; // 2.5 and 1.5 both round to 2

    const Case cases[] = {
        // Wide strip: width limits, s = 4961 / 900; height 300 × s = 1653.67 → 1654.
        {"fit portrait wide", fit, kPortrait, {900, 300}, {0, 2681, 4961, 1654}},
        {"fit landscape wide", fit, kLandscape, {900, 300}, {0, 1311, 7016, 2339}},
        // Tall strip: height limits, s = 4961 / 1000.
        {"fit landscape tall", fit, kLandscape, {300, 1000}, {2764, 0, 1488, 4961}},
        {"own scale centred", own, kPortrait, {900, 300}, {1806, 3283, 1350, 450}},
        {"own placement at the margin corner", placed, kLandscape, {900, 300}, {0, 0, 1350, 450}},
        {"own placement with margins", placedOffset, kPortrait, {900, 300}, {900, 1350, 1350, 450}},
        // Margins: W = 4961 − 600 − 300 = 4061, H = 7016 − 150 − 1800 = 5066; width limits.
        {"fit between margins", fitMargins, kPortrait, {900, 300}, {600, 150 + 1856, 4061, 1354}},
        {"own scale rounds ties to even", odd, kPortrait, {5, 3}, {2479, 3507, 2, 2}},
    };
    for (const Case& c : cases) {
        const QRect r = PrintRectangle(c.layout, c.page, c.strip);
        EXPECT_EQ(r, c.expected) << c.what << ": got " << r.x() << "," << r.y() << " " << r.width() << "x"
                                 << r.height();
    }
    EXPECT_TRUE(FitLimitedByWidth(fit, kPortrait, {900, 300}));
    EXPECT_FALSE(FitLimitedByWidth(fit, kLandscape, {300, 1000}));
}

TEST(PrintNumbers, NothingToPlaceGivesAnEmptyRectangle)
{
    TPrintLayout wide;
    wide.LeftMargin = 6;
    wide.RightMargin = 6;
    EXPECT_TRUE(PrintRectangle(wide, kPortrait, {900, 300}).isEmpty());
    EXPECT_TRUE(PrintRectangle({}, kPortrait, {0, 0}).isEmpty());
    TPrintLayout zero;
    zero.FitToPage = false;
    zero.OwnScalePercent = 0;
    EXPECT_TRUE(PrintRectangle(zero, kPortrait, {900, 300}).isEmpty());
}

TEST(PrintNumbers, HandEditedLengthsBecomeSound)
{
    TPrintLayout l;
    l.LeftMargin = -1;
    l.RightMargin = std::numeric_limits<double>::quiet_NaN();
    l.TopMargin = 5;
    l.BottomMargin = 7; // together more than the page is high
    l.OffsetFromLeftMargin = 100;
    l.OffsetFromTopMargin = 1.5;
    const TPrintLayout s = SoundLengths(l, 8.27, 11.69);
    EXPECT_EQ(s.LeftMargin, 0);
    EXPECT_EQ(s.RightMargin, 0);
    EXPECT_EQ(s.TopMargin, 0);
    EXPECT_EQ(s.BottomMargin, 0);
    EXPECT_EQ(s.OffsetFromLeftMargin, 0);
    EXPECT_EQ(s.OffsetFromTopMargin, 1.5);
    l.BottomMargin = 2;
    EXPECT_EQ(SoundLengths(l, 8.27, 11.69).TopMargin, 5);
}

TEST(PrintNumbers, LengthsUseTheUsersDecimalSeparator)
{
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(FormatLength(1 / 2.54, english), "0.39");
    EXPECT_EQ(FormatLength(0.39 * 2.54, english), "0.99");
    EXPECT_EQ(FormatLength(0, english), "0.00");
    EXPECT_EQ(FormatLength(1234.567, english), "1234.60"); // five significant digits
    EXPECT_EQ(FormatLength(1 / 2.54, german), "0,39");
    EXPECT_EQ(ParseLength("0,39", german), 0.39);
    EXPECT_EQ(ParseLength("1.5", english), 1.5);
    EXPECT_EQ(ParseLength("1,000", english), std::nullopt); // no group separators
    EXPECT_EQ(ParseLength("abc", english), std::nullopt);
    EXPECT_EQ(ParseLength("", english), std::nullopt);
    EXPECT_EQ(ParseWholeNumber("150"), 150);
    EXPECT_EQ(ParseWholeNumber("-3"), -3);
    EXPECT_EQ(ParseWholeNumber("1.5"), std::nullopt);
    EXPECT_EQ(ParseWholeNumber("x"), std::nullopt);
}
