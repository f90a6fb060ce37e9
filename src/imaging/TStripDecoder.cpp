#include "imaging/TStripDecoder.h"

#include "imaging/ImageLimits.h"
#include "imaging/TGifDecoder.h"
#include "imaging/TJpegDecoder.h"
#include "imaging/TQtImageDecoder.h"

#include <QFileInfo>

namespace pw::imaging {

QImage TStripDecoder::LoadFromFile(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    if (name.contains(QLatin1String(".jpg")))
        return TJpegDecoder::LoadFromFile(path);
    if (name.contains(QLatin1String(".gif")))
        return TGifDecoder::GetGIFFile(path);
    QByteArray data;
    QString error;
    if (!ReadImageFile(path, data, error))
        return {}; // like a GIF that cannot be read: an empty picture, no message
    return TQtImageDecoder::LoadFromBuffer(data);
}

} // namespace pw::imaging
