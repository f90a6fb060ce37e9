#pragma once

#include <QByteArray>
#include <ctime>
#include <optional>
#include <sys/types.h>

namespace pw::platform {

// What the file system says about a file's identity and last change. Two equal stamps
// taken at different times mean the file was not replaced nor written in between,
// provided the first was Settled: a write within the clock tick of the file's last one
// may leave the time and size as they were.
class FileStamp {
public:
    // nullopt when the file cannot be looked at (missing, no access).
    static std::optional<FileStamp> Of(const QByteArray& encodedPath);

    // The file's last change lies far enough back that any later one shows in the stamp.
    bool Settled() const;

    bool operator==(const FileStamp& o) const;

private:
    dev_t device_ = 0;
    ino_t inode_ = 0;
    off_t size_ = 0;
    timespec modified_{};
    timespec changed_{};
};

} // namespace pw::platform
