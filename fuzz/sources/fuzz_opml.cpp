#include "sources/OpmlReader.h"
#include "sources/OpmlWriter.h"

#include <cstddef>
#include <cstdint>

namespace {

// What XML 1.0 can carry in an attribute.
bool Writable(const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x20 || c == 0xFFFE || c == 0xFFFF)
            return false;
        if (QChar::isHighSurrogate(c) && (i + 1 >= text.size() || !text[i + 1].isLowSurrogate()))
            return false;
        if (QChar::isLowSurrogate(c) && (i == 0 || !text[i - 1].isHighSurrogate()))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace pw::sources;
    const QByteArray document(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const OpmlDocument opml = ReadOpml(document);
    if (opml.Outlines.size() > OpmlDocument::kMaxOutlines ||
        (!opml.Error.isEmpty() && !opml.Outlines.empty()))
        __builtin_trap();
    // What is read, written back, reads the same.
    std::vector<OpmlOutline> kept;
    for (const OpmlOutline& o : opml.Outlines)
        if (Writable(o.Title) && Writable(o.XmlUrl) && Writable(o.HtmlUrl) && Writable(o.Url) &&
            (!o.XmlUrl.isEmpty() || !o.Url.isEmpty()))
            kept.push_back(o);
    const OpmlDocument again =
        ReadOpml(WriteOpml(QStringLiteral("t"), kept, QDateTime::fromSecsSinceEpoch(0)));
    if (!again.Error.isEmpty() || again.Outlines.size() != kept.size())
        __builtin_trap();
    for (std::size_t i = 0; i < kept.size(); ++i)
        if (again.Outlines[i].XmlUrl != kept[i].XmlUrl || again.Outlines[i].Url != kept[i].Url)
            __builtin_trap();
    return 0;
}
