#include "imaging/ImageLimits.h"

#include <QFile>

namespace pw::imaging {

bool ReadImageFile(const QString& path, QByteArray& data, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return false;
    }
    if (file.size() > kMaxImageFileBytes) {
        error = QStringLiteral("file too large");
        return false;
    }
    // Read with a bound instead of trusting size(): special files report 0 or grow.
    data = file.read(kMaxImageFileBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        error = file.errorString();
        return false;
    }
    if (data.size() > kMaxImageFileBytes) {
        data.clear();
        error = QStringLiteral("file too large");
        return false;
    }
    return true;
}

} // namespace pw::imaging
