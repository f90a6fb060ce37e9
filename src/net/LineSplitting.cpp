#include "LineSplitting.h"

namespace pw::net::lines {

qsizetype FindLineEnd(QByteArrayView data, qsizetype from, QByteArrayView lineEnd)
{
    if (lineEnd.isEmpty())
        return -1;
    const qsizetype at = data.indexOf(lineEnd, from < 0 ? 0 : from);
    return at < 0 ? -1 : at + lineEnd.size();
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
