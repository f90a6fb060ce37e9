#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

namespace pw::platform {

// A part of the program kept in a shared library of its own, so that what does not need
// it never loads it (nor the libraries it links). It stays loaded until the process ends:
// its code runs exit handlers and owns objects that live that long.
class ProgramModule {
public:
    // Opens fileName from the first of Folders() that holds it. On failure, error says
    // which file could not be loaded and why.
    static std::optional<ProgramModule> Open(const QString& fileName, QString* error);

    // The module's function of that (unmangled) name; null, with the reason in error, when
    // it has none.
    void* Function(const char* name, QString* error) const;

    // The file it was loaded from.
    const QString& Path() const { return path_; }

    // Where a module is looked for: beside the executable (a build folder), then in the
    // program's own library folder of an installation.
    static QStringList Folders(const QString& executablePath);

private:
    ProgramModule(void* handle, QString path) : handle_(handle), path_(std::move(path)) {}
    void* handle_;
    QString path_;
};

} // namespace pw::platform
