#include "platform/ProgramModule.h"

#include "platform/ProgramPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <dlfcn.h>

#ifndef PANELWICK_MODULES_FROM_BIN
#define PANELWICK_MODULES_FROM_BIN "../lib/panelwick/modules"
#endif

namespace pw::platform {

QStringList ProgramModule::Folders(const QString& executablePath)
{
    // Never the current folder: a module is code, and the current folder may be anyone's.
    if (executablePath.isEmpty())
        return {};
    const QString own = QFileInfo(executablePath).absolutePath();
    return {own, QDir::cleanPath(own + QLatin1Char('/') + QLatin1String(PANELWICK_MODULES_FROM_BIN))};
}

std::optional<ProgramModule> ProgramModule::Open(const QString& fileName, QString* error)
{
    const QStringList folders = Folders(TProgramPaths::RunningExecutable());
    if (folders.isEmpty()) {
        if (error)
            *error = QStringLiteral("cannot load %1: the program's own folder is unknown").arg(fileName);
        return std::nullopt;
    }
    QString path;
    for (const QString& folder : folders) {
        path = folder + QLatin1Char('/') + fileName;
        if (QFileInfo::exists(path))
            break;
    }
    // Bound lazily, as the executable's own references are: a start resolves only what it calls.
    if (void* handle = ::dlopen(QFile::encodeName(path).constData(), RTLD_LAZY | RTLD_LOCAL))
        return ProgramModule(handle, path);
    if (error) {
        QString reason = QString::fromLocal8Bit(::dlerror());
        if (reason.startsWith(path + QLatin1String(": ")))
            reason.remove(0, path.size() + 2); // said once is enough
        *error = QStringLiteral("cannot load %1: %2").arg(path, reason);
    }
    return std::nullopt;
}

void* ProgramModule::Function(const char* name, QString* error) const
{
    void* function = ::dlsym(handle_, name);
    if (!function && error)
        *error = QStringLiteral("cannot load %1: it has no %2").arg(path_, QLatin1String(name));
    return function;
}

} // namespace pw::platform
