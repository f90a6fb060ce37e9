#include "net/HttpResponseLine.h"

#include <limits>

namespace pw::net {

namespace {
bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}
bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}
} // namespace

HttpResponseLine ParseResponseLine(QByteArrayView line)
{
    HttpResponseLine result;
    if (line.isEmpty()) {
        result.kind = HttpResponseLine::Kind::Empty;
        return result;
    }
    if (line.size() >= 6 && line.first(6).compare("<HTML>", Qt::CaseInsensitive) == 0) {
        result.kind = HttpResponseLine::Kind::Html;
        return result;
    }
    if (line.startsWith("HTTP/1.0") || line.startsWith("HTTP/1.1")) {
        result.kind = HttpResponseLine::Kind::Status;
        // "HTTP/1.x NNN Reason": the code at 9..11, the reason from 13 on.
        if (line.size() >= 12) {
            const QByteArrayView code = line.sliced(9, 3);
            if (IsDigit(code[0]) && IsDigit(code[1]) && IsDigit(code[2]))
                result.Status = (code[0] - '0') * 100 + (code[1] - '0') * 10 + (code[2] - '0');
        }
        if (line.size() > 13)
            result.Reason = QString::fromLatin1(line.sliced(13));
        return result;
    }
    const qsizetype colon = line.indexOf(':');
    if (colon < 0)
        return result;
    result.kind = HttpResponseLine::Kind::Field;
    result.Name = line.first(colon).toByteArray().toLower();
    qsizetype v = colon + 1;
    while (v < line.size() && IsBlank(line[v]))
        ++v;
    result.Value = QString::fromLatin1(line.sliced(v));
    return result;
}

qint64 ParseContentLength(QStringView value)
{
    const QStringView v = value.trimmed();
    if (v.isEmpty())
        return -1;
    qint64 n = 0;
    for (const QChar c : v) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return -1;
        if (n > (std::numeric_limits<qint64>::max() - 9) / 10)
            return -1;
        n = n * 10 + (c.unicode() - '0');
    }
    return n;
}

HttpContentRange ParseContentRange(QStringView value)
{
    // From the 7th character ("bytes " skipped) up to "-", then up to "/".
    HttpContentRange range;
    if (value.size() <= 6)
        return range;
    const QStringView spec = value.sliced(6);
    const qsizetype dash = spec.indexOf(QLatin1Char('-'));
    if (dash < 0) {
        range.Begin = spec.toString();
        return range;
    }
    range.Begin = spec.first(dash).toString();
    const QStringView tail = spec.sliced(dash + 1);
    const qsizetype slash = tail.indexOf(QLatin1Char('/'));
    range.End = (slash >= 0 ? tail.first(slash) : tail).toString();
    return range;
}

} // namespace pw::net
