#include "update/PageParser.h"

#include <cstring>

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

QString FindStripAddressInPage(const QByteArray& page, const QString& siteBase)
{
    // Lines map byte for byte onto their strings, so the qualifying text is looked for in
    // the bytes; only the line that qualifies becomes a string.
    static constexpr QByteArrayView marker("archive/images");
    const char* const p = page.constData();
    const qsizetype n = page.size();
    auto isBreak = [](char c) { return c == '\r' || c == '\n'; };
    for (qsizetype from = 0;;) {
        const qsizetype hit = page.indexOf(marker, from);
        if (hit < 0)
            return {};
        qsizetype start = hit;
        while (start > 0 && !isBreak(p[start - 1]))
            --start;
        qsizetype end = hit;
        while (end < n && !isBreak(p[end]))
            ++end;
        const void* nul = std::memchr(p + start, '\0', static_cast<size_t>(end - start));
        const qsizetype textEnd = nul ? static_cast<const char*>(nul) - p : end;
        const QByteArrayView text(p + start, textEnd - start);
        if (text.contains(marker) && !text.contains(QByteArrayView("SendAStrip"))) {
            QStringList line{QString::fromLatin1(text)};
            return FindStripAddress(line, siteBase);
        }
        from = end;
    }
}

} // namespace pw::update
