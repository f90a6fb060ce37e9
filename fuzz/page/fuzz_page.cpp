#include "update/PageParser.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray page(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QStringList lines = pw::update::SplitPageLines(page);
    for (const QString& line : lines)
        if (line.contains(QLatin1Char('\r')) || line.contains(QLatin1Char('\n')) || line.contains(QChar(0)))
            __builtin_trap();
    const QString base = QStringLiteral("http://comics.example");
    const QString address = pw::update::FindStripAddress(lines, base);
    if (!address.isEmpty() && !address.startsWith(base))
        __builtin_trap();
    if (address.contains(QLatin1Char('"')))
        __builtin_trap();
    return 0;
}
