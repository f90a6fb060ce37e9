#include "net/HttpLineBuffer.h"

#include <cstring>

namespace pw::net {

HttpLineBuffer::HttpLineBuffer(int capacity)
    : data_(std::make_unique_for_overwrite<char[]>(static_cast<size_t>(capacity))), capacity_(capacity)
{
}

bool HttpLineBuffer::TakeLine(QByteArrayView& line, QByteArrayView& raw)
{
    const char* begin = data_.get() + start_;
    const int pending = fill_ - start_;
    const void* lf = pending > scanned_ ? std::memchr(begin + scanned_, '\n', pending - scanned_) : nullptr;
    if (!lf) {
        // Keep the partial line at the front so the free space is all at the end.
        if (start_ > 0) {
            std::memmove(data_.get(), begin, static_cast<size_t>(pending));
            start_ = 0;
            fill_ = pending;
        }
        scanned_ = pending;
        return false;
    }
    const int end = static_cast<int>(static_cast<const char*>(lf) - begin);
    int length = end;
    if (length > 0 && begin[length - 1] == '\r')
        --length;
    line = QByteArrayView(begin, length);
    raw = QByteArrayView(begin, end + 1);
    start_ += end + 1;
    scanned_ = 0;
    if (start_ == fill_)
        start_ = fill_ = 0; // safe: views stay valid, the bytes are not overwritten yet
    return true;
}

} // namespace pw::net
