#pragma once

#include <QByteArray>
#include <QImage>

namespace pw::imaging {

// Any picture Qt's image readers recognise by its content (PNG, BMP, GIF, JPEG, ...),
// within the size limits of ImageLimits.h. Returns a null QImage for anything no reader
// recognises, anything broken or too large. Never throws.
//
// Like the GIF decoder's, the result is an opaque QImage::Format_RGB32 picture with
// transparent pixels white.
class TQtImageDecoder {
public:
    static QImage LoadFromBuffer(const QByteArray& data);
};

} // namespace pw::imaging
