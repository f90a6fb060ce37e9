#include "imaging/BmpFile.h"

#include "platform/SafeFile.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImageWriter>

namespace pw::imaging {

QByteArray BmpFile::Encode(const QImage& image)
{
    if (image.isNull())
        return {};
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "BMP");
    // Opaque 24-bit colour whatever the decoder kept (an 8-bit GIF strip too): what the
    // desktop shows is what the strip area shows, in the form wallpaper tools expect.
    if (!writer.write(image.format() == QImage::Format_RGB32 ? image
                                                             : image.convertToFormat(QImage::Format_RGB32)))
        return {};
    return bytes;
}

bool BmpFile::Write(const QImage& image, const QString& path)
{
    const QByteArray bytes = Encode(image);
    return !bytes.isEmpty() && QDir().mkpath(QFileInfo(path).absolutePath()) &&
           platform::SafeFile::Write(path, bytes);
}

} // namespace pw::imaging
