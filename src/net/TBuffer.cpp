#include "TBuffer.h"

#include <algorithm>
#include <cstring>

namespace pw::net {

TBuffer::TBuffer(int BufSize) : bufSize_(BufSize <= 0 ? 1514 : BufSize)
{
    data_ = std::make_unique<char[]>(static_cast<std::size_t>(bufSize_));
}

int TBuffer::Write(const void* Data, int Len)
{
    const int count = std::min(Len, bufSize_ - wrCount_);
    if (count <= 0)
        return 0;
    std::memcpy(data_.get() + wrCount_, Data, static_cast<std::size_t>(count));
    wrCount_ += count;
    return count;
}

const char* TBuffer::Peek(int& Len) const
{
    Len = wrCount_ - rdCount_;
    return Len > 0 ? data_.get() + rdCount_ : nullptr;
}

int TBuffer::Remove(int Len)
{
    const int count = std::clamp(Len, 0, wrCount_ - rdCount_);
    rdCount_ += count;
    if (rdCount_ >= wrCount_) {
        rdCount_ = 0;
        wrCount_ = 0;
    }
    return count;
}

} // namespace pw::net
