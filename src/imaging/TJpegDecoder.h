#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace pw::imaging {

// JPEG decoding through libjpeg-turbo with its own error manager: a missing, empty,
// truncated or corrupt file throws platform::Exception with a readable message;
// libjpeg never aborts or exits the process.
//
// Colour, grayscale and CMYK/YCCK pictures (Adobe's inverted CMYK too) all come back
// as QImage::Format_RGB32. Pictures beyond the size limits of ImageLimits.h are refused.
class TJpegDecoder {
public:
    static QImage LoadFromFile(const QString& path);
    static QImage LoadFromBuffer(const QByteArray& data);

private:
    static QImage Decode(const QByteArray& data, const QString& what);
};

} // namespace pw::imaging
