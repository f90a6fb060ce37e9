#include "LineSplitting.h"

#include <algorithm>

namespace pw::net::lines {

qsizetype FindLineEnd(QByteArrayView data, qsizetype from, QByteArrayView lineEnd)
{
    if (lineEnd.isEmpty())
        return -1;
    const qsizetype at = data.indexOf(lineEnd, from < 0 ? 0 : from);
    return at < 0 ? -1 : at + lineEnd.size();
}

Cut NextLine(QByteArrayView buffered, qsizetype scanned, QByteArrayView lineEnd, qsizetype limit)
{
    // A terminator may have begun in the bytes searched before.
    const qsizetype from = std::max<qsizetype>(0, scanned - lineEnd.size() + 1);
    qsizetype end = FindLineEnd(buffered, from, lineEnd);
    if (end < 0 && limit > 0 && buffered.size() >= limit)
        end = limit;
    if (end < 0)
        return {0, buffered.size()};
    return {limit > 0 ? std::min(end, limit) : end, 0};
}

QByteArray EditReceived(QByteArray& text, qsizetype start)
{
    if (start < 0)
        start = 0;
    QByteArray out = text.left(start);
    out.reserve(text.size());
    QByteArray echo;
    for (qsizetype i = start; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\b') {
            if (!out.isEmpty()) {
                out.chop(1);
                echo.append("\b \b");
            }
        } else if (c == '\t') {
            const qsizetype blanks = 8 - out.size() % 8;
            out.append(blanks, ' ');
            echo.append(blanks, ' ');
        } else {
            out.append(c);
            echo.append(c);
        }
    }
    text = out;
    return echo;
}

} // namespace pw::net::lines
