#include "sources/PictureFormat.h"

namespace pw::sources {

namespace {

int Byte(const QByteArray& b, qsizetype i)
{
    return static_cast<unsigned char>(b[i]);
}

QSize JpegSize(const QByteArray& b)
{
    qsizetype i = 2;
    while (i + 9 < b.size()) {
        if (Byte(b, i) != 0xFF)
            return {};
        const int marker = Byte(b, i + 1);
        if (marker == 0xFF) { // fill byte
            ++i;
            continue;
        }
        if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            i += 2;
            continue;
        }
        const int length = (Byte(b, i + 2) << 8) | Byte(b, i + 3);
        // Start of frame: every SOFn but DHT (C4), JPG (C8) and DAC (CC).
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
            return QSize((Byte(b, i + 7) << 8) | Byte(b, i + 8), (Byte(b, i + 5) << 8) | Byte(b, i + 6));
        if (length < 2)
            return {};
        i += 2 + length;
    }
    return {};
}

} // namespace

QString PictureExtension(const QByteArray& head)
{
    if (head.startsWith("GIF87a") || head.startsWith("GIF89a"))
        return QStringLiteral(".gif");
    if (head.startsWith("\xFF\xD8\xFF"))
        return QStringLiteral(".jpg");
    if (head.startsWith("\x89PNG\r\n\x1A\n"))
        return QStringLiteral(".png");
    return {};
}

QString UnshowableFormatName(const QByteArray& head)
{
    if (head.size() >= 12 && head.startsWith("RIFF") && head.mid(8, 4) == "WEBP")
        return QStringLiteral("WebP");
    if (head.size() >= 12 && head.mid(4, 4) == "ftyp") {
        const QByteArray brand = head.mid(8, 4);
        if (brand == "avif" || brand == "avis")
            return QStringLiteral("AVIF");
        if (brand == "heic" || brand == "heix" || brand == "mif1" || brand == "msf1")
            return QStringLiteral("HEIF");
    }
    if (head.startsWith("\xFF\x0A") ||
        head.startsWith(QByteArray("\x00\x00\x00\x0CJXL \x0D\x0A\x87\x0A", 12)))
        return QStringLiteral("JPEG XL");
    if (head.startsWith("BM") && head.size() >= 26)
        return QStringLiteral("BMP");
    if (head.startsWith("II*") || head.startsWith(QByteArray("MM\x00*", 4)))
        return QStringLiteral("TIFF");
    const QByteArray text = head.left(512).trimmed().toLower();
    if (text.startsWith("<svg") ||
        ((text.startsWith("<?xml") || text.startsWith("<!doctype svg")) && text.contains("<svg")))
        return QStringLiteral("SVG");
    return {};
}

QSize PictureSize(const QByteArray& head)
{
    if (PictureExtension(head) == QLatin1String(".gif") && head.size() >= 10)
        return QSize(Byte(head, 6) | (Byte(head, 7) << 8), Byte(head, 8) | (Byte(head, 9) << 8));
    if (PictureExtension(head) == QLatin1String(".png") && head.size() >= 24 && head.mid(12, 4) == "IHDR")
        return QSize((Byte(head, 16) << 24) | (Byte(head, 17) << 16) | (Byte(head, 18) << 8) | Byte(head, 19),
                     (Byte(head, 20) << 24) | (Byte(head, 21) << 16) | (Byte(head, 22) << 8) |
                         Byte(head, 23));
    if (PictureExtension(head) == QLatin1String(".jpg"))
        return JpegSize(head);
    return {};
}

} // namespace pw::sources
