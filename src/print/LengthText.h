#pragma once

#include <QLocale>
#include <QString>
#include <optional>

namespace pw::print {

// Lengths and the own scale as the user reads and types them: the user's decimal
// separator, no group separators.

// Fixed notation, two decimals, five significant digits ("0.39", "1234.60"); from
// 100,000 on, scientific notation.
QString FormatLength(double value, const QLocale& locale = QLocale());

// A decimal number in the locale's notation; nullopt when the text is none.
std::optional<double> ParseLength(const QString& text, const QLocale& locale = QLocale());

// A whole number (optional sign, digits only); nullopt otherwise.
std::optional<int> ParseWholeNumber(const QString& text);

} // namespace pw::print
