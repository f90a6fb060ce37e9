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
    // Opaque colour: what the desktop shows is what the strip area shows.
    if (!writer.write(image.hasAlphaChannel() ? image.convertToFormat(QImage::Format_RGB32) : image))
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
