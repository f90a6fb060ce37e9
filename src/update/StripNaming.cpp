#include "update/StripNaming.h"

#include <cstdio>

namespace pw::update {

QString StripFileNameFor(const QString& comicName, quint16 year, quint16 month, quint16 day,
                         const QString& extension, int ordinal)
{
    // Asked for several times per job: one formatting call, no pattern parsing.
    char digits[24];
    const int n = ordinal > 1 ? std::snprintf(digits, sizeof digits, "%u%02u%02u-%d", unsigned{year},
                                              unsigned{month}, unsigned{day}, ordinal)
                              : std::snprintf(digits, sizeof digits, "%u%02u%02u", unsigned{year},
                                              unsigned{month}, unsigned{day});
    QString name;
    name.reserve(comicName.size() + n + extension.size());
    name += comicName;
    name += QLatin1StringView(digits, n);
    name += extension;
    return name;
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
