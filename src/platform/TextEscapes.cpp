#include "platform/TextEscapes.h"

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
