#include "imaging/BmpFile.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>

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
    if (bytes.isEmpty() || !QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace pw::imaging
