#include "imaging/ImageLimits.h"

#include <QFile>

#include <algorithm>

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
    // Read to the end with a bound instead of trusting size(): special files report 0 or
    // grow. The room starts at what size() tells: asking for the whole bound at once
    // would reserve its full amount of memory for every strip shown.
    constexpr qint64 kFirstRoom = 64 * 1024;
    qint64 room = std::clamp<qint64>(file.size() + 1, kFirstRoom, kMaxImageFileBytes + 1);
    qint64 have = 0;
    data.clear();
    for (;;) {
        data.resize(room);
        const qint64 got = file.read(data.data() + have, room - have);
        if (got < 0 || file.error() != QFileDevice::NoError) {
            data.clear();
            error = file.errorString();
            return false;
        }
        have += got;
        if (have > kMaxImageFileBytes) {
            data.clear();
            error = QStringLiteral("file too large");
            return false;
        }
        if (got == 0)
            break;
        if (have == room)
            room = std::min<qint64>(room * 2, kMaxImageFileBytes + 1);
    }
    data.truncate(have);
    return true;
}

} // namespace pw::imaging
