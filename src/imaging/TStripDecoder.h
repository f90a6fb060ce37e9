#pragma once

#include <QImage>
#include <QString>

namespace pw::imaging {

// The one strip decoder: the window decodes a stored strip here (the clipboard and printing
// take the picture it shows). The wallpaper looks for ".gif" before ".jpg" in a name and
// comes here for every other name, so a PNG strip becomes the wallpaper too.
//
// The file name decides: one containing ".jpg" goes to the JPEG decoder, which throws
// platform::Exception when the file cannot be read; one containing ".gif" to the GIF
// decoder, an empty picture when it fails; any other (".png", ".GIF", ".bmp", ...) is
// decoded by its content through Qt's image readers, an empty picture when none
// recognises it. Only the file name counts, not the folders above it.
class TStripDecoder {
public:
    static QImage LoadFromFile(const QString& path);
};

} // namespace pw::imaging
