#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace pw::imaging {

// Windows BMP files, through Qt's BMP writer: 24 bits per pixel for colour pictures.
class BmpFile {
public:
    // The file's bytes; empty for a null picture.
    static QByteArray Encode(const QImage& image);
    // Writes the whole file under a temporary name, then renames it over path, so the
    // old file stays as it was when anything fails. Makes the folder when missing.
    static bool Write(const QImage& image, const QString& path);
};

} // namespace pw::imaging
