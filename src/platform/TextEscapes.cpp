#include "platform/TextEscapes.h"

#include <algorithm>

namespace pw::platform {

QString EscapeText(const QString& text, QStringView extra)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        case '\t':
            out += QLatin1String("\\t");
            break;
        default:
            if (extra.contains(c))
                out += QLatin1Char('\\');
            out += c;
        }
    }
    return out;
}

std::optional<QChar> EscapedChar(QChar c)
{
    switch (c.unicode()) {
    case '\\':
        return c;
    case 'n':
        return QLatin1Char('\n');
    case 'r':
        return QLatin1Char('\r');
    case 't':
        return QLatin1Char('\t');
    default:
        return std::nullopt;
    }
}

} // namespace pw::platform

namespace pw::platform {

namespace {
bool IsControl(char16_t c)
{
    return c < 0x20 || (c >= 0x7f && c <= 0x9f);
}
} // namespace

QString ShowableText(const QString& text, bool keepLineBreaks)
{
    const auto unsafe = [keepLineBreaks](QChar c) {
        return IsControl(c.unicode()) && !(keepLineBreaks && c == QLatin1Char('\n'));
    };
    if (std::none_of(text.begin(), text.end(), unsafe))
        return text; // the usual case: no copy
    QString out;
    out.reserve(text.size() + 8);
    for (const QChar c : text) {
        if (unsafe(c))
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

QString WrappableText(const QString& text, qsizetype maxChars)
{
    constexpr qsizetype kLongestRun = 40;
    const QString showable = ShowableText(text);
    QString cut = showable;
    if (cut.size() > maxChars) {
        cut.truncate(maxChars - 1);
        if (!cut.isEmpty() && cut.back().isHighSurrogate())
            cut.chop(1); // never half a character
        cut += QChar(0x2026);
    }
    QString out;
    out.reserve(cut.size() + cut.size() / kLongestRun);
    qsizetype run = 0;
    for (const QChar c : cut) {
        run = c.isSpace() || c == QChar(0x200B) ? 0 : run + 1;
        if (run > kLongestRun && !c.isLowSurrogate()) {
            out += QChar(0x200B);
            run = 1;
        }
        out += c;
    }
    return out;
}

} // namespace pw::platform
