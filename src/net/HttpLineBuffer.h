#pragma once

#include <QByteArrayView>
#include <memory>

namespace pw::net {

// The client's receive buffer: bytes come in at the end, complete lines (ending in LF,
// a CR before the LF dropped) are taken from the front. Its size caps a line's length.
class HttpLineBuffer {
public:
    explicit HttpLineBuffer(int capacity);

    char* FreeSpace() { return data_.get() + fill_; }
    int FreeSize() const { return capacity_ - fill_; }
    void Commit(int count) { fill_ += count; }
    // After TakeLine returned false: one unfinished line fills the whole buffer.
    // After TakeLine returned false: one unfinished line fills the whole buffer.
    bool Full() const { return start_ == 0 && fill_ == capacity_; }

    // Next complete line, as a view valid until the next call that changes the buffer.
    // raw also covers the line end. False (and the unread rest moved to the front) when
    // no complete line is held.
    bool TakeLine(QByteArrayView& line, QByteArrayView& raw);

    // Bytes not yet taken.
    QByteArrayView Pending() const { return {data_.get() + start_, fill_ - start_}; }
    void Clear() { start_ = fill_ = scanned_ = 0; }

private:
    // Not zero-filled: only bytes received are ever read, and every client makes one.
    std::unique_ptr<char[]> data_;
    int capacity_;
    int start_ = 0;   // first byte not yet taken
    int fill_ = 0;    // end of the received bytes
    int scanned_ = 0; // bytes from start_ known to hold no LF
};

} // namespace pw::net
