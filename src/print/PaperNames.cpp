#include "print/PaperNames.h"

#include <array>

namespace pw::print {

namespace {
// Codes 1 to 26. Codes 12 and 22 are not uniform with the rest; they stay as they were
// known to users of the earlier versions.
constexpr std::array<const char*, 26> kNames = {
    "Letter 8 1/2 x 11 in",
    "Letter Small 8 1/2 x 11 in",
    "Tabloid 11 x 17 in",
    "Ledger 17 x 11 in",
    "Legal 8 1/2 x 14 in",
    "Statement 5 1/2 x 8 1/2 in",
    "Executive 7 1/2 x 10 in",
    "A3 297 x 420 mm",
    "A4 210 x 297 mm",
    "A4 Small 210 x 297 mm",
    "A5 148 x 210 mm",
    "B4 250 x 354",
    "B5 182 x 257 mm",
    "Folio 8 1/2 x 13 in",
    "Quarto 215 x 275 mm",
    "10x14 in",
    "11x17 in",
    "Note 8 1/2 x 11 in",
    "Envelope #9 3 7/8 x 8 7/8 in",
    "Envelope #10 4 1/8 x 9 1/2 in",
    "Envelope #11 4 1/2 x 10 3/8 in",
    "Envelope #12 4 \\276 x 11 in",
    "Envelope #14 5 x 11 1/2 in",
    "C size sheet",
    "D size sheet",
    "E size sheet",
};
} // namespace

QString FallbackPaperName(int code)
{
    if (code >= 1 && code <= static_cast<int>(kNames.size()))
        return QString::fromLatin1(kNames[static_cast<std::size_t>(code - 1)]);
    if (code == 256)
        return QStringLiteral("User Defined Size");
    return QStringLiteral("Unknown Paper Size");
}

QStringList PaperNamesFor(const QList<int>& codes, const QStringList& printerNames)
{
    if (printerNames.size() == codes.size())
        return printerNames;
    QStringList names;
    names.reserve(codes.size());
    for (int code : codes)
        names << FallbackPaperName(code);
    return names;
}

} // namespace pw::print
