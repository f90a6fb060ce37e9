#pragma once

#include <QString>

namespace pw::platform {

// A short exclusive lock around a read-modify-write of a file that another Panelwick
// process (the window, "--batch-update" from cron, "--add-comic") may change at the same
// moment. It locks the folder holding the file, so that no lock file is left beside the
// data and a file replaced by rename keeps being guarded. A holder that does not let go
// within a few seconds (a stopped process) is passed over rather than waited for: the
// window must not freeze. Where the file system cannot lock, the change goes on unlocked.
class FolderLock {
public:
    explicit FolderLock(const QString& filePath);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    bool Held() const { return held_; }

private:
    int fd_ = -1;
    bool held_ = false;
};

} // namespace pw::platform
