#include "platform/SafeFile.h"

#include <QSaveFile>

namespace pw::platform {

bool SafeFile::Write(const QString& path, const QByteArray& bytes)
{
    // Unbuffered: a buffered QSaveFile renames even when its final flush fails (a full
    // disk), which would replace the file with a cut-off one.
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    if (out.write(bytes) != bytes.size()) {
        out.cancelWriting();
        return false;
    }
    return out.commit();
}

} // namespace pw::platform
