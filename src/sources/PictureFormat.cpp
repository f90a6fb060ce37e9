#include "sources/PictureFormat.h"

namespace pw::sources {

QString PictureExtension(const QByteArray& head)
{
    if (head.startsWith("GIF87a") || head.startsWith("GIF89a"))
        return QStringLiteral(".gif");
    if (head.startsWith("\xFF\xD8\xFF"))
        return QStringLiteral(".jpg");
    if (head.startsWith("\x89PNG\r\n\x1A\n"))
        return QStringLiteral(".png");
    return {};
}

} // namespace pw::sources
