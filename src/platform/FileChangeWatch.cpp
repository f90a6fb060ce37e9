#include "platform/FileChangeWatch.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace pw::platform {

namespace {

// File systems whose change reports cover every writer: changes made on another machine
// (network file systems) or beneath a layer (FUSE, overlays) may go unreported.
bool ReportsEveryChange(const char* folder)
{
    struct statfs fs {};
    if (::statfs(folder, &fs) != 0)
        return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case 0xEF53UL:     // ext2, ext3, ext4
    case 0x01021994UL: // tmpfs
    case 0x858458F6UL: // ramfs
    case 0x9123683EUL: // btrfs
    case 0x58465342UL: // xfs
    case 0xF2F52010UL: // f2fs
        return true;
    default:
        return false;
    }
}

} // namespace

FileChangeWatch::FileChangeWatch(const QByteArray& encodedPath) : path_(encodedPath)
{
    const qsizetype slash = encodedPath.lastIndexOf('/');
    const QByteArray folder = slash < 0    ? QByteArray(".")
                              : slash == 0 ? QByteArray("/")
                                           : encodedPath.left(slash);
    name_ = encodedPath.mid(slash + 1);
    if (name_.isEmpty() || !ReportsEveryChange(folder.constData()))
        return;
    fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0)
        return;
    constexpr std::uint32_t kEvents = IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_CREATE | IN_DELETE |
                                      IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF |
                                      IN_ONLYDIR;
    folderWatch_ = ::inotify_add_watch(fd_, folder.constData(), kEvents);
    if (folderWatch_ < 0)
        Drop();
}

FileChangeWatch::~FileChangeWatch()
{
    Drop();
}

void FileChangeWatch::Drop()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    folderWatch_ = fileWatch_ = -1;
}

void FileChangeWatch::FollowFile()
{
    if (fd_ < 0)
        return;
    // The file itself is watched too: the folder hears nothing of a write made through
    // another name of the file, nor of a name added to it.
    const int previous = fileWatch_;
    fileWatch_ =
        ::inotify_add_watch(fd_, path_.constData(), IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_DONT_FOLLOW);
    const int error = errno;
    if (previous >= 0 && previous != fileWatch_)
        ::inotify_rm_watch(fd_, previous); // a file no longer under the name
    if (fileWatch_ >= 0) {
        struct stat st {};
        if (::lstat(path_.constData(), &st) != 0 || !S_ISREG(st.st_mode))
            Drop(); // a link to a file elsewhere: its folder is not watched
        return;
    }
    if (error != ENOENT)
        Drop(); // a missing file is followed by the folder: its creation is reported
}

bool FileChangeWatch::Changed()
{
    if (fd_ < 0)
        return true;
    bool changed = false;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n < 0 && errno != EAGAIN) {
                Drop();
                return true;
            }
            return changed;
        }
        for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            // The folder went away or was moved, or reports were lost: nothing is known.
            const bool folder = event->wd == folderWatch_;
            if ((event->mask & IN_Q_OVERFLOW) ||
                (folder && (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT)))) {
                Drop();
                return true;
            }
            // Reports of a file no longer under the name (its watch given up) are stale.
            if ((!folder && event->wd == fileWatch_) ||
                (folder && event->len > 0 && std::strcmp(event->name, name_.constData()) == 0))
                changed = true;
        }
        // Room was left for one more event of any name: the queue is empty.
        if (static_cast<size_t>(n) + sizeof(inotify_event) + NAME_MAX + 1 <= sizeof buffer)
            return changed;
    }
}

} // namespace pw::platform
