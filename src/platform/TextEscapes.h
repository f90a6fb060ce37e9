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

namespace pw::platform {

// Text from outside (a server's reason phrase or header line, a catalogue's comic name)
// made safe to print on a terminal, show in a box or keep in the debug log: every control
// character (C0, DEL, C1) becomes an escape such as "\x1b", so nothing can retitle a
// terminal, move its cursor or fake a line. keepLineBreaks leaves "\n" for texts that are
// meant to span lines.
QString ShowableText(const QString& text, bool keepLineBreaks = false);

// Outside text for a word-wrapped label, shown as plain text: showable (as above), cut to
// maxChars with an ellipsis, and with a break opportunity (a zero-width space) in every
// run of more than 40 characters without a blank, so that no single word can make the
// label, and its window, wider than the screen.
QString WrappableText(const QString& text, qsizetype maxChars = 400);

} // namespace pw::platform
