#pragma once

#include <QString>
#include <QStringView>

namespace pw::platform {

// The backslash escapes of the line-based files the program writes (the registry file,
// desktop entries): "\\", "\n", "\r" and "\t", and a backslash before each character of
// extra.
QString EscapeText(const QString& text, QStringView extra = {});

} // namespace pw::platform
