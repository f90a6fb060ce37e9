#pragma once

#include <QByteArray>

namespace pw::platform {

// Tells whether a file may have changed since it was last asked, mostly without looking
// at the file: the kernel reports every change made under the file's name in its folder
// (written, replaced, removed, renamed, its attributes changed), by this process or any
// other, before the call that made it returns. Only where such reports are complete: a
// local file system, a plain file under its only name (no link elsewhere leads to it).
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
    // The file as it was just read may be followed by the watch: a plain file with one
    // name. Otherwise the watch is dropped.
    void CheckFile();

private:
    void Drop();

    QByteArray name_; // the file's name within its folder
    QByteArray path_;
    int fd_ = -1;
};

} // namespace pw::platform
