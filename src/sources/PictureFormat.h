#pragma once

#include <QByteArray>
#include <QString>

namespace pw::sources {

// The extension a downloaded picture is stored with, from its first bytes (never from
// its address, which often has none or lies): ".gif", ".jpg" or ".png". Empty for
// anything else (WebP, SVG, an HTML error page...), which the program cannot show.
QString PictureExtension(const QByteArray& head);

} // namespace pw::sources
