// A received page through the strip page parser: the line-based form and the
// byte-level search must find the same address, and an address the job accepts must
// send the request to the comic site and nowhere else.
#include "net/HttpLocation.h"
#include "net/HttpUrl.h"
#include "update/PageParser.h"
#include "update/StripAddress.h"

#include <array>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    static const std::array<QString, 3> bases = {QStringLiteral("http://comics.example"),
                                                 QStringLiteral("http://comics.example:8080"),
                                                 QStringLiteral("http://127.0.0.1:81")};
    const QString& base = bases[data[0] % bases.size()];
    const QByteArray page(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));

    QStringList lines = pw::update::SplitPageLines(page);
    for (const QString& line : lines)
        if (line.contains(QLatin1Char('\r')) || line.contains(QLatin1Char('\n')) || line.contains(QChar(0)))
            __builtin_trap();
    const QString address = pw::update::FindStripAddress(lines, base);
    if (!address.isEmpty() && !address.startsWith(base))
        __builtin_trap();
    if (address.contains(QLatin1Char('"')))
        __builtin_trap();
    if (pw::update::FindStripAddressInPage(page, base) != address)
        __builtin_trap(); // the two forms disagree

    if (!address.isEmpty() && pw::update::StaysOnSite(address, base)) {
        // What the client would ask for, written out as a proxy request line does.
        const pw::net::HttpUrlParts parts = pw::net::SplitUrl(address);
        const QString requested = pw::net::AbsoluteAddress(pw::net::TargetFromUrl(parts));
        if (!requested.startsWith(base + QLatin1Char('/')) || !parts.User.isEmpty() ||
            !parts.Password.isEmpty())
            __builtin_trap(); // left the site
    }
    return 0;
}
