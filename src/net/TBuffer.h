#pragma once

#include <memory>

namespace pw::net {

// One block of the send queue: filled at the back, sent from the front, reused from its
// start once everything in it has gone out.
class TBuffer {
public:
    explicit TBuffer(int BufSize); // 0 or less gives 1514
    TBuffer(const TBuffer&) = delete;
    TBuffer& operator=(const TBuffer&) = delete;

    // Copies what fits behind the written bytes; returns the count (0 when full).
    int Write(const void* Data, int Len);
    // First unsent byte and the number of unsent bytes; nullptr and 0 when none.
    const char* Peek(int& Len) const;
    // Marks up to Len bytes as sent; returns the count.
    int Remove(int Len);

    int BufSize() const { return bufSize_; }
    int WrCount() const { return wrCount_; }
    int RdCount() const { return rdCount_; }

private:
    std::unique_ptr<char[]> data_;
    int bufSize_;
    int wrCount_ = 0;
    int rdCount_ = 0;
};

} // namespace pw::net
