#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace pw::imaging {

// JPEG decoding through libjpeg-turbo with its own error manager: a missing, empty,
// truncated or corrupt file throws platform::Exception with a readable message;
// libjpeg never aborts or exits the process.
class TJpegDecoder {
public:
    static QImage LoadFromFile(const QString& path);
    static QImage LoadFromBuffer(const QByteArray& data);
};

} // namespace pw::imaging
