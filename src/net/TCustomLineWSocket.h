#pragma once

#include "net/TCustomSocksWSocket.h"

namespace pw::net {

// Line-mode layer; line mode stays off, so received data passes through unchanged.
class TCustomLineWSocket : public TCustomSocksWSocket {
public:
    using TCustomSocksWSocket::TCustomSocksWSocket;
};

} // namespace pw::net
