#include "platform/FolderLock.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <time.h>
#include <unistd.h>

namespace pw::platform {

namespace {

constexpr int kPatienceMs = 3000;
constexpr long kPauseNs = 2'000'000;

long long NowMs()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

} // namespace

FolderLock::FolderLock(const QString& filePath)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(filePath).absolutePath());
    fd_ = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0)
        return;
    const long long giveUp = NowMs() + kPatienceMs;
    for (;;) {
        if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
            held_ = true;
            return;
        }
        if ((errno != EWOULDBLOCK && errno != EINTR) || NowMs() >= giveUp)
            return;
        // The holders only read and rewrite one small file.
        const timespec pause{0, kPauseNs};
        ::nanosleep(&pause, nullptr);
    }
}

FolderLock::~FolderLock()
{
    if (fd_ >= 0)
        ::close(fd_); // lets go of the lock
}

} // namespace pw::platform
