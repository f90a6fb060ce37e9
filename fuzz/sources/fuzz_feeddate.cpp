#include "sources/FeedDate.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto date = pw::sources::ParseFeedDate(text);
    if (!date)
        return 0;
    // What names a strip file: a valid UTC day with a four-digit year.
    if (!date->Utc.isValid() || date->Utc.timeSpec() != Qt::UTC || !date->UtcDay().isValid() ||
        date->UtcDay().year() < 1000 || date->UtcDay().year() > 9999 || *date->Format == '\0')
        __builtin_trap();
    return 0;
}
