#include "platform/FileStamp.h"

#include <algorithm>
#include <sys/stat.h>

namespace pw::platform {

namespace {

// File times come from a clock that may tick as coarsely as a few milliseconds; two
// seconds is far beyond any file system's tick here.
constexpr time_t kSettleSeconds = 2;

bool Same(const timespec& a, const timespec& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

} // namespace

std::optional<FileStamp> FileStamp::Of(const QByteArray& encodedPath)
{
    struct stat st {};
    if (::stat(encodedPath.constData(), &st) != 0)
        return std::nullopt;
    FileStamp s;
    s.device_ = st.st_dev;
    s.inode_ = st.st_ino;
    s.size_ = st.st_size;
    s.modified_ = st.st_mtim;
    s.changed_ = st.st_ctim;
    return s;
}

bool FileStamp::Settled() const
{
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const time_t latest = std::max(modified_.tv_sec, changed_.tv_sec);
    return now.tv_sec - latest >= kSettleSeconds;
}

bool FileStamp::operator==(const FileStamp& o) const
{
    return device_ == o.device_ && inode_ == o.inode_ && size_ == o.size_ && Same(modified_, o.modified_) &&
           Same(changed_, o.changed_);
}

} // namespace pw::platform
