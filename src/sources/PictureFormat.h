#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>

namespace pw::sources {

// The extension a downloaded picture is stored with, from its first bytes (never from
// its address, which often has none or lies): ".gif", ".jpg" or ".png". Empty for
// anything else (WebP, SVG, an HTML error page...), which the program cannot show.
QString PictureExtension(const QByteArray& head);

// The name of a picture format the program cannot show ("WebP", "AVIF", "SVG", "BMP",
// "TIFF", "HEIF", "JPEG XL"), from the first bytes; empty for the formats it shows and
// for what is no picture at all.
QString UnshowableFormatName(const QByteArray& head);

// The width and height a GIF, PNG or JPEG declares in its first bytes (a JPEG's frame
// header may stand some kilobytes in); invalid when they do not tell.
QSize PictureSize(const QByteArray& head);

} // namespace pw::sources
