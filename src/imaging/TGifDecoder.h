#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace pw::imaging {

// GIF decoding through giflib; the first frame of an animation. Returns a null QImage
// for anything that is not a readable GIF (missing, empty, truncated, corrupt): callers
// treat that as "no bitmap". Never throws.
class TGifDecoder {
public:
    static QImage GetGIFFile(const QString& path);
    static QImage GetGIFBuffer(const QByteArray& data);
};

} // namespace pw::imaging
