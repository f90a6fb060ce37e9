#include "comics/TUserCatalogue.h"

#include "comics/TextLines.h"
#include "platform/FolderLock.h"
#include "platform/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace pw::comics {

namespace {

bool ReadExisting(const QString& path, QByteArray* bytes, QString* error)
{
    if (!QFileInfo::exists(path))
        return true;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, f.errorString());
        return false;
    }
    *bytes = f.readAll();
    return true;
}

QByteArray Line(const QString& name, const QString& address)
{
    return name.toLocal8Bit() + '\t' + address.toLocal8Bit() + "\r\n";
}

bool WriteAll(const QString& path, const QByteArray& bytes, QString* error)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (platform::SafeFile::Write(path, bytes))
        return true;
    *error = QStringLiteral("cannot write %1").arg(path);
    return false;
}

} // namespace

bool TUserCatalogue::Append(const QString& path, const QString& name, const QString& address, QString* error)
{
    return Append(path, {{name, address}}, error);
}

bool TUserCatalogue::Append(const QString& path, const std::vector<std::pair<QString, QString>>& entries,
                            QString* error)
{
    // Another process (the window, "--add-comic") may change the file at the same moment.
    const platform::FolderLock lock(path);
    QByteArray bytes;
    if (!ReadExisting(path, &bytes, error))
        return false;
    if (!bytes.isEmpty() && !bytes.endsWith('\n') && !bytes.endsWith('\r'))
        bytes += "\r\n";
    for (const auto& [name, address] : entries)
        bytes += Line(name, address);
    return WriteAll(path, bytes, error);
}

bool TUserCatalogue::Remove(const QString& path, const QString& name, QString* error)
{
    // Another process (the window, "--add-comic") may change the file at the same moment.
    const platform::FolderLock lock(path);
    QByteArray bytes;
    if (!ReadExisting(path, &bytes, error))
        return false;
    // Other lines stay exactly as they are.
    const QByteArray drop = name.toLocal8Bit() + '\t';
    QByteArray kept;
    for (const std::string_view line : SplitLines(bytes)) {
        const QByteArray raw(line.data(), static_cast<qsizetype>(line.size()));
        if (!raw.startsWith(drop))
            kept += raw + "\r\n";
    }
    return WriteAll(path, kept, error);
}

bool TUserCatalogue::Replace(const QString& path, const QString& oldName, const QString& newName,
                             const QString& address, bool* found, QString* error)
{
    *found = false;
    const platform::FolderLock lock(path);
    QByteArray bytes;
    if (!ReadExisting(path, &bytes, error))
        return false;
    const QByteArray match = oldName.toLocal8Bit() + '\t';
    QByteArray out;
    for (const std::string_view line : SplitLines(bytes)) {
        const QByteArray raw(line.data(), static_cast<qsizetype>(line.size()));
        if (raw.startsWith(match)) {
            *found = true;
            out += Line(newName, address);
        } else {
            out += raw + "\r\n";
        }
    }
    return !*found || WriteAll(path, out, error);
}

} // namespace pw::comics
