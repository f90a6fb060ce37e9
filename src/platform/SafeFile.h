#pragma once

#include <QByteArray>
#include <QString>

namespace pw::platform {

// Data on disk is never left half-written: the whole file goes to a temporary file in
// the same folder, which is then renamed over the old one.
class SafeFile {
public:
    // False on any failure; the old file is then as it was. The folder must exist.
    static bool Write(const QString& path, const QByteArray& bytes);
};

} // namespace pw::platform
