#pragma once

#include <QByteArray>

namespace pw::platform {

// Tells whether a file may have changed since it was last asked, mostly without looking
// at the file: the kernel reports every change made to the file (written through any of
// its names, its attributes changed) or under its name in its folder (replaced, removed,
// renamed), by this process or any other, before the call that made it returns. Only
// where such reports are complete: a local file system, a file that is no symbolic link.
// Elsewhere, or when the kernel refuses a watch, Usable() is false and the caller looks
// at the file itself.
class FileChangeWatch {
public:
    explicit FileChangeWatch(const QByteArray& encodedPath);
    ~FileChangeWatch();
    FileChangeWatch(const FileChangeWatch&) = delete;
    FileChangeWatch& operator=(const FileChangeWatch&) = delete;

    bool Usable() const { return fd_ >= 0; }
    // Whether anything happened to the file since the last call; true when the watch was
    // lost (it is then no longer Usable). The first call after construction says false:
    // what was there before the watch began is the caller's to read.
    bool Changed();
    // Called before the file is read: the file now under the name is the one followed.
    // A symbolic link drops the watch.
    void FollowFile();

private:
    void Drop();

    QByteArray name_; // the file's name within its folder
    QByteArray path_;
    int fd_ = -1;
    int folderWatch_ = -1;
    int fileWatch_ = -1;
};

} // namespace pw::platform
