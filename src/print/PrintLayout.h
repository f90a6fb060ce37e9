#pragma once

#include <QRect>
#include <QSize>

namespace pw::print {

// The page layout the print dialog holds: lengths in inches, scale in percent.
struct TPrintLayout {
    double LeftMargin = 0;
    double RightMargin = 0;
    double TopMargin = 0;
    double BottomMargin = 0;
    double OffsetFromLeftMargin = 0;
    double OffsetFromTopMargin = 0;
    bool FitToPage = true;
    int OwnScalePercent = 100;
    bool HCentered = true;
    bool VCentered = true;
};

// The printable page in printer pixels and the printer's resolution.
struct TPageGeometry {
    int Width = 0;
    int Height = 0;
    int DpiX = 0;
    int DpiY = 0;
};

// Nearest whole number, ties to even.
double Rnd(double v);

// Where the strip of size `strip` goes on the page, in printer pixels: the margins, the
// scale (fit or own), centred or at its own offset from the margins. The size is always
// rnd(width × s) by rnd(height × s); empty when the strip or the space between the
// margins is empty.
QRect PrintRectangle(const TPrintLayout& layout, const TPageGeometry& page, QSize strip);

// True when fitting to the page is limited by the width (the strip fills the space
// between the left and right margins), false when by the height.
bool FitLimitedByWidth(const TPrintLayout& layout, const TPageGeometry& page, QSize strip);

// The layout with lengths a page cannot hold made 0: negative or not finite values,
// offsets beyond the page, and margin pairs that leave nothing between them.
TPrintLayout SoundLengths(TPrintLayout layout, double pageWidthInches, double pageHeightInches);

} // namespace pw::print
