#pragma once

#include <QString>
#include <QStringView>
#include <optional>

namespace pw::platform {

// The backslash escapes of the line-based files the program writes (the registry file,
// desktop entries): "\\", "\n", "\r" and "\t", and a backslash before each character of
// extra.
QString EscapeText(const QString& text, QStringView extra = {});

// The character the escape "\c" stands for: "\", newline, CR, tab; nullopt for any
// other c.
std::optional<QChar> EscapedChar(QChar c);

} // namespace pw::platform
