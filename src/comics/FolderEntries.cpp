#include "comics/FolderEntries.h"

#include <QFile>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace pw::comics {

// No stat, and the folder read straight with getdents64 (opendir would stat it too): a
// folder is listed at least once per comic per update.
void ForEachFolderEntry(const QString& folder, const QString& prefix,
                        const std::function<void(std::string_view name, std::string_view rest)>& visit)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    const std::unique_ptr<const int, void (*)(const int*)> closer(&fd, [](const int* f) { ::close(*f); });
    const QByteArray pre = QFile::encodeName(prefix);
    alignas(dirent64) char buffer[32768];
    for (;;) {
        const ssize_t got = ::getdents64(fd, buffer, sizeof buffer);
        if (got <= 0)
            return;
        for (ssize_t at = 0; at < got;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
            at += entry->d_reclen;
            if (std::strncmp(entry->d_name, pre.constData(), static_cast<size_t>(pre.size())) != 0)
                continue;
            const std::string_view name(entry->d_name);
            visit(name, name.substr(static_cast<size_t>(pre.size())));
        }
    }
}

} // namespace pw::comics
