#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace pw::imaging {

// GIF decoding through giflib; the first frame of an animation. Returns a null QImage
// for anything that is not a readable GIF (missing, empty, truncated, corrupt): callers
// treat that as "no bitmap". Never throws.
//
// The result is an opaque picture of the logical screen with the first frame drawn at its
// position: QImage::Format_Indexed8 with the frame's colours (a 256-entry table), or
// Format_RGB32 when the frame leaves part of the screen uncovered and its colours hold no
// white. Transparent pixels and the screen outside the frame are white, the background of
// the strip area, so every consumer (display, wallpaper, clipboard, printing) sees the
// same picture.
class TGifDecoder {
public:
    static QImage GetGIFFile(const QString& path);
    static QImage GetGIFBuffer(const QByteArray& data);
};

} // namespace pw::imaging
