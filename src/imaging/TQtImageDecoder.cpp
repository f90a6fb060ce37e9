#include "imaging/TQtImageDecoder.h"

#include "imaging/ImageLimits.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>

namespace pw::imaging {

QImage TQtImageDecoder::LoadFromBuffer(const QByteArray& data)
{
    QBuffer buffer;
    buffer.setData(data);
    if (!buffer.open(QIODevice::ReadOnly))
        return {};
    QImageReader reader(&buffer); // no format given: the readers look at the content
    if (!reader.canRead())
        return {};
    // Refused before decoding, so a hostile header reserves nothing. A reader that
    // cannot tell the size beforehand is not trusted with it.
    const QSize declared = reader.size();
    if (!declared.isValid() || !ImageSizeAllowed(declared.width(), declared.height()))
        return {};
    QImage image;
    if (!reader.read(&image) || image.isNull() || !ImageSizeAllowed(image.width(), image.height()))
        return {};
    if (!image.hasAlphaChannel())
        return image.convertToFormat(QImage::Format_RGB32);
    QImage opaque(image.size(), QImage::Format_RGB32);
    opaque.fill(Qt::white);
    QPainter painter(&opaque);
    painter.drawImage(0, 0, image);
    return opaque;
}

} // namespace pw::imaging
