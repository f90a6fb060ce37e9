#include "sources/TextCharset.h"

#include <QRegularExpression>
#include <QStringDecoder>

namespace pw::sources {

namespace {

constexpr qsizetype kPrescanBytes = 8192;

QByteArray CanonicalName(QByteArray name)
{
    name = name.trimmed().toLower();
    if (name == "utf8" || name == "unicode-1-1-utf-8")
        return "utf-8";
    static const char* const western[] = {
        "iso-8859-1", "iso8859-1", "iso_8859-1",   "latin1",     "l1",    "us-ascii", "ascii",
        "cp1252",     "x-cp1252",  "windows-1252", "iso-ir-100", "cp819", "ibm819",   "csisolatin1"};
    for (const char* w : western)
        if (name == w)
            return "windows-1252";
    return name;
}

QByteArray CharsetParameter(const QByteArray& text)
{
    static const QRegularExpression re(QStringLiteral("charset\\s*=\\s*[\"']?\\s*([A-Za-z0-9._:+-]+)"),
                                       QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = re.match(QString::fromLatin1(text));
    return m.hasMatch() ? m.captured(1).toLatin1() : QByteArray();
}

} // namespace

QByteArray CharsetOfContentType(const QString& contentType)
{
    return CharsetParameter(contentType.toLatin1());
}

QByteArray HtmlDeclaredCharset(const QByteArray& page)
{
    const QByteArray head = page.left(kPrescanBytes);
    static const QRegularExpression meta(QStringLiteral("<meta\\b[^>]*>"),
                                         QRegularExpression::CaseInsensitiveOption);
    auto it = meta.globalMatch(QString::fromLatin1(head));
    while (it.hasNext()) {
        const QByteArray tag = it.next().captured(0).toLatin1();
        const QByteArray lower = tag.toLower();
        if (lower.contains("charset=") || lower.contains("charset ="))
            if (const QByteArray name = CharsetParameter(tag); !name.isEmpty())
                return name;
    }
    return {};
}

QByteArray XmlDeclaredEncoding(const QByteArray& document)
{
    if (!document.startsWith("<?xml"))
        return {};
    const qsizetype end = document.indexOf("?>");
    static const QRegularExpression re(QStringLiteral("encoding\\s*=\\s*[\"']([A-Za-z0-9._:+-]+)[\"']"));
    const QRegularExpressionMatch m = re.match(QString::fromLatin1(document.left(end < 0 ? 200 : end)));
    return m.hasMatch() ? m.captured(1).toLatin1() : QByteArray();
}

bool IsWesternCharset(const QByteArray& charset)
{
    return CanonicalName(charset) == "windows-1252";
}

bool LooksUtf16(QByteArrayView bytes, bool* bigEndian)
{
    if (bytes.size() < 2)
        return false;
    const auto b0 = static_cast<unsigned char>(bytes[0]);
    const auto b1 = static_cast<unsigned char>(bytes[1]);
    const bool big = (b0 == 0xFE && b1 == 0xFF) || (b0 == 0 && b1 != 0);
    if (bigEndian)
        *bigEndian = big;
    return big || (b0 == 0xFF && b1 == 0xFE) || b1 == 0;
}

bool IsValidUtf8(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(bytes);
    return !decoder.hasError();
}

QString DecodeText(const QByteArray& bytes, const QByteArray& charset)
{
    const QByteArray name = CanonicalName(charset);
    if (name.isEmpty() || name == "utf-8") {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = utf8(bytes);
        if (!utf8.hasError() || !name.isEmpty())
            return text;
        return DecodeText(bytes, "windows-1252");
    }
    QStringDecoder decoder(name.constData(), QStringDecoder::Flag::Stateless);
    if (!decoder.isValid())
        return DecodeText(bytes, "utf-8");
    return decoder(bytes);
}

} // namespace pw::sources
