#include "update/StripNaming.h"

namespace pw::update {

QString StripFileNameFor(const QString& comicName, quint16 year, quint16 month, quint16 day,
                         const QString& extension)
{
    return comicName + QString::number(year) +
           QStringLiteral("%1%2").arg(month, 2, 10, QLatin1Char('0')).arg(day, 2, 10, QLatin1Char('0')) +
           extension;
}

bool IsStripExtension(const QString& extension)
{
    if (extension.size() != 4 || extension[0] != QLatin1Char('.'))
        return false;
    for (qsizetype i = 1; i < 4; ++i) {
        const char16_t c = extension[i].unicode();
        const bool alnum = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
        if (!alnum)
            return false;
    }
    return true;
}

} // namespace pw::update
