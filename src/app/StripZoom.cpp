#include "app/StripZoom.h"

#include <algorithm>
#include <cmath>

namespace pw::app {

StripZoom StripZoom::Fit(Mode mode)
{
    StripZoom z;
    z.mode_ = mode == Mode::Factor ? Mode::ActualSize : mode;
    return z;
}

StripZoom StripZoom::Percent(int percent)
{
    StripZoom z;
    z.percent_ = std::clamp(percent, kMinPercent, kMaxPercent);
    z.mode_ = z.percent_ == 100 ? Mode::ActualSize : Mode::Factor;
    return z;
}

QString StripZoom::Text() const
{
    switch (mode_) {
    case Mode::FitToWindow:
        return QStringLiteral("FitToWindow");
    case Mode::FitWidth:
        return QStringLiteral("FitWidth");
    case Mode::Factor:
        return QString::number(percent_);
    case Mode::ActualSize:
        break;
    }
    return QStringLiteral("ActualSize");
}

StripZoom StripZoom::FromText(const QString& text)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("FitToWindow"), Qt::CaseInsensitive) == 0)
        return Fit(Mode::FitToWindow);
    if (t.compare(QLatin1String("FitWidth"), Qt::CaseInsensitive) == 0)
        return Fit(Mode::FitWidth);
    bool ok = false;
    const int percent = t.toInt(&ok);
    if (ok && percent >= kMinPercent && percent <= kMaxPercent && percent % kStepPercent == 0)
        return Percent(percent);
    return {};
}

double StripZoom::Scale(QSize picture, QSize area, int scrollBarWidth) const
{
    if (mode_ == Mode::ActualSize)
        return 1.0;
    if (mode_ == Mode::Factor)
        return percent_ / 100.0;
    if (picture.isEmpty() || area.isEmpty())
        return 1.0;
    const double w = picture.width();
    const double h = picture.height();
    const double across = area.width() / w;
    if (mode_ == Mode::FitToWindow)
        return std::min({1.0, across, area.height() / h});
    // Fit Width: when the strip is then taller than the area, the scroll bar takes its share.
    double scale = std::min(1.0, across);
    if (std::floor(h * scale) > area.height())
        scale = std::min(1.0, std::max(1, area.width() - scrollBarWidth) / w);
    return scale;
}

namespace {
// Percentages on the 25 % grid, with a little room for a scale that is a step already.
int StepUp(double scale)
{
    const double percent = scale * 100.0;
    return static_cast<int>(std::floor(percent / StripZoom::kStepPercent + 1e-6) + 1) *
           StripZoom::kStepPercent;
}
int StepDown(double scale)
{
    const double percent = scale * 100.0;
    return static_cast<int>(std::ceil(percent / StripZoom::kStepPercent - 1e-6) - 1) *
           StripZoom::kStepPercent;
}
} // namespace

StripZoom StripZoom::StepFrom(double scale, bool in)
{
    return Percent(in ? StepUp(scale) : StepDown(scale));
}

bool StripZoom::CanStep(double scale, bool in)
{
    return in ? StepUp(scale) <= kMaxPercent : StepDown(scale) >= kMinPercent;
}

} // namespace pw::app
