// Strip file names and catalogue lines come from the file system and from a text file:
// any bytes must parse without crashing, and what parses must hold together.
#include "comics/TComicStrip.h"
#include "comics/TComicsList.h"

#include <QByteArray>
#include <QFile>
#include <cstdint>
#include <cstdlib>

using namespace pw::comics;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    const QString name = QFile::decodeName(bytes);
    if (const auto strip = TComicStrip::FromFileName(name, QStringLiteral("/comics/"))) {
        // The name is the comic's, the date, "-<ordinal>" after the first of a day, and four
        // characters.
        const QString dayPart = name.mid(strip->ComicName.size(), 8);
        const QString suffix =
            strip->Ordinal == 1 ? QString() : QStringLiteral("-") + QString::number(strip->Ordinal);
        if (strip->FileName != name || !name.startsWith(strip->ComicName) ||
            dayPart != strip->Date.toString(QStringLiteral("yyyyMMdd")) ||
            name.size() != strip->ComicName.size() + 8 + suffix.size() + 4 ||
            name.mid(strip->ComicName.size() + 8, suffix.size()) != suffix || !strip->Date.isValid() ||
            strip->Ordinal < 1 || strip->Ordinal > StripNameTail::kMaxOrdinal)
            std::abort();
        if (!strip->StripPath().startsWith(QStringLiteral("/comics/")) || !strip->StripPath().endsWith(name))
            std::abort();
    }

    qsizetype total = 0;
    for (const auto& [comic, address] : TComicsList::ParseCatalogue(bytes)) {
        total += comic.size() + address.size();
        (void)TComicStrip::FromFileName(comic, QString());
    }
    // Decoding never makes more characters than there are bytes.
    if (total > bytes.size())
        std::abort();
    return 0;
}
