#pragma once

#include <QSize>
#include <QString>

namespace pw::app {

// How large the strip is drawn: a fit to the strip area, or a fixed factor (100 % is the
// strip's natural size). Pure value; the view applies it.
class StripZoom {
public:
    enum class Mode { ActualSize, FitToWindow, FitWidth, Factor };

    static constexpr int kMinPercent = 25;
    static constexpr int kMaxPercent = 400;
    static constexpr int kStepPercent = 25;

    StripZoom() = default;
    static StripZoom Fit(Mode mode);
    static StripZoom Percent(int percent); // 100 is Actual Size; clamped to the range

    Mode GetMode() const { return mode_; }
    int GetPercent() const { return percent_; }
    bool operator==(const StripZoom&) const = default;

    // The configuration file's text: "ActualSize", "FitToWindow", "FitWidth" or a percentage.
    QString Text() const;
    // Anything unknown is Actual Size, so a damaged file shows strips as they are.
    static StripZoom FromText(const QString& text);

    // The scale for a picture in an area of `area` (no scroll bars) whose vertical scroll
    // bar takes `scrollBarWidth`. Fits only ever shrink a strip.
    double Scale(QSize picture, QSize area, int scrollBarWidth) const;

    // One step of 25 % up or down from the scale now on screen.
    static StripZoom StepFrom(double scale, bool in);
    static bool CanStep(double scale, bool in);

private:
    Mode mode_ = Mode::ActualSize;
    int percent_ = 100;
};

} // namespace pw::app
