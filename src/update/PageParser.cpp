#include "update/PageParser.h"

namespace pw::update {

QStringList SplitPageLines(const QByteArray& page)
{
    QStringList lines;
    const qsizetype n = page.size();
    qsizetype i = 0;
    while (i < n) {
        const qsizetype start = i;
        while (i < n && page[i] != '\r' && page[i] != '\n')
            ++i;
        QByteArray line = page.mid(start, i - start);
        const qsizetype nul = line.indexOf('\0');
        if (nul >= 0)
            line.truncate(nul);
        lines.append(QString::fromLatin1(line));
        if (i < n) {
            if (page[i] == '\r' && i + 1 < n && page[i + 1] == '\n')
                i += 2;
            else
                ++i;
        }
    }
    return lines;
}

QString FindStripAddress(QStringList& lines, const QString& siteBase)
{
    static const QString anchor = QStringLiteral("<A HREF=\"");
    static const QString image = QStringLiteral("<IMG SRC=\"");
    while (!lines.isEmpty()) {
        const QString line = lines.takeFirst();
        if (!line.contains(QLatin1String("archive/images")) || line.contains(QLatin1String("SendAStrip")))
            continue;
        // ASCII-only upper-casing keeps positions equal in the line and its copy.
        const QString upper = QString::fromLatin1(line.toLatin1().toUpper());
        QString candidate;
        const qsizetype a = upper.indexOf(anchor);
        if (a >= 0) {
            candidate = line.mid(a + anchor.size());
        } else {
            // Without an image tag either, the text from the tenth character on.
            const qsizetype q = upper.indexOf(image);
            candidate = line.mid(q < 0 ? image.size() - 1 : q + image.size());
        }
        const qsizetype quote = candidate.indexOf(QLatin1Char('"'));
        return siteBase + (quote >= 0 ? candidate.left(quote) : QString());
    }
    return {};
}

} // namespace pw::update
