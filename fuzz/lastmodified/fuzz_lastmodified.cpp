#include "update/LastModified.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString line =
        QString::fromLatin1(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QString why;
    const auto date = pw::update::ParseLastModified(line, &why);
    if (!date) {
        if (why.isEmpty())
            __builtin_trap();
        return 0;
    }
    // What reaches a file name is digits only.
    const QString part = date->DatePart();
    for (QChar c : part)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            __builtin_trap();
    if (date->Day == 0 || date->Year == 0 || date->Month > 12 || part.size() < 5 || part.size() > 8)
        __builtin_trap();
    return 0;
}
