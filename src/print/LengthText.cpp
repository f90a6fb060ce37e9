#include "print/LengthText.h"

#include <cmath>

namespace pw::print {

namespace {
QLocale Plain(QLocale locale)
{
    locale.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    return locale;
}
} // namespace

QString FormatLength(double value, const QLocale& locale)
{
    const QLocale plain = Plain(locale);
    if (!std::isfinite(value) || std::fabs(value) >= 1e5)
        return plain.toString(value, 'E', 4);
    // Five significant digits first, then shown with two decimals.
    const double magnitude = value == 0 ? 0 : std::floor(std::log10(std::fabs(value))) + 1;
    const int decimals = std::max(0, 5 - static_cast<int>(magnitude));
    const double factor = std::pow(10.0, decimals);
    const double rounded = std::round(value * factor) / factor;
    return plain.toString(rounded, 'f', 2);
}

std::optional<double> ParseLength(const QString& text, const QLocale& locale)
{
    bool ok = false;
    const double v = Plain(locale).toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<int> ParseWholeNumber(const QString& text)
{
    const QString t = text.trimmed();
    bool ok = false;
    const int v = t.toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return v;
}

} // namespace pw::print
