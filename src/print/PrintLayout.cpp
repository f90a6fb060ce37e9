#include "print/PrintLayout.h"

#include <algorithm>
#include <cmath>

namespace pw::print {

double Rnd(double v)
{
    return std::nearbyint(v); // the default rounding mode: ties to even
}

namespace {
struct Space {
    int left, top, width, height;
};

Space Printable(const TPrintLayout& layout, const TPageGeometry& page)
{
    const int l = static_cast<int>(Rnd(page.DpiX * layout.LeftMargin));
    const int r = static_cast<int>(Rnd(page.DpiX * layout.RightMargin));
    const int t = static_cast<int>(Rnd(page.DpiY * layout.TopMargin));
    const int b = static_cast<int>(Rnd(page.DpiY * layout.BottomMargin));
    return {l, t, page.Width - l - r, page.Height - t - b};
}

int ToPixels(double v)
{
    // Absurd sizes stay far inside int; they are clipped by the page anyway.
    return static_cast<int>(std::clamp(Rnd(v), -1e8, 1e8));
}
} // namespace

bool FitLimitedByWidth(const TPrintLayout& layout, const TPageGeometry& page, QSize strip)
{
    const Space space = Printable(layout, page);
    if (strip.width() <= 0 || strip.height() <= 0)
        return false;
    return double(space.width) / strip.width() < double(space.height) / strip.height();
}

QRect PrintRectangle(const TPrintLayout& layout, const TPageGeometry& page, QSize strip)
{
    const int bw = strip.width();
    const int bh = strip.height();
    const Space space = Printable(layout, page);
    if (bw <= 0 || bh <= 0 || space.width <= 0 || space.height <= 0)
        return {};
    double s = layout.OwnScalePercent / 100.0;
    if (layout.FitToPage)
        s = FitLimitedByWidth(layout, page, strip) ? double(space.width) / bw : double(space.height) / bh;
    if (s <= 0)
        return {};
    const int x = layout.HCentered ? ToPixels((space.width - bw * s) / 2)
                                   : ToPixels(page.DpiX * layout.OffsetFromLeftMargin);
    const int y = layout.VCentered ? ToPixels((space.height - bh * s) / 2)
                                   : ToPixels(page.DpiY * layout.OffsetFromTopMargin);
    return QRect(space.left + x, space.top + y, ToPixels(bw * s), ToPixels(bh * s));
}

TPrintLayout SoundLengths(TPrintLayout layout, double pageWidthInches, double pageHeightInches)
{
    const auto sound = [](double& v, double limit) {
        if (!std::isfinite(v) || v < 0 || v > limit)
            v = 0;
    };
    sound(layout.LeftMargin, pageWidthInches);
    sound(layout.RightMargin, pageWidthInches);
    sound(layout.OffsetFromLeftMargin, pageWidthInches);
    sound(layout.TopMargin, pageHeightInches);
    sound(layout.BottomMargin, pageHeightInches);
    sound(layout.OffsetFromTopMargin, pageHeightInches);
    if (layout.LeftMargin + layout.RightMargin >= pageWidthInches)
        layout.LeftMargin = layout.RightMargin = 0;
    if (layout.TopMargin + layout.BottomMargin >= pageHeightInches)
        layout.TopMargin = layout.BottomMargin = 0;
    return layout;
}

} // namespace pw::print
