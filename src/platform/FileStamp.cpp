#include "platform/FileStamp.h"

#include <cstdint>
#include <sys/stat.h>

namespace pw::platform {

namespace {

// File times come from the kernel's coarse clock, which ticks every few milliseconds;
// a tenth of a second is far beyond that tick. File systems that keep whole seconds (or
// two, like FAT) show no fraction in either time: there, two seconds.
constexpr long kSettleNanosFine = 100'000'000;
constexpr time_t kSettleSecondsCoarse = 2;

const timespec& Later(const timespec& a, const timespec& b)
{
    return a.tv_sec > b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec > b.tv_nsec) ? a : b;
}

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
    const timespec& latest = Later(modified_, changed_);
    if (modified_.tv_nsec == 0 && changed_.tv_nsec == 0)
        return now.tv_sec - latest.tv_sec >= kSettleSecondsCoarse;
    const std::int64_t since =
        (std::int64_t{now.tv_sec} - latest.tv_sec) * 1'000'000'000 + (now.tv_nsec - latest.tv_nsec);
    return since >= kSettleNanosFine;
}

bool FileStamp::operator==(const FileStamp& o) const
{
    return device_ == o.device_ && inode_ == o.inode_ && size_ == o.size_ && Same(modified_, o.modified_) &&
           Same(changed_, o.changed_);
}

} // namespace pw::platform
