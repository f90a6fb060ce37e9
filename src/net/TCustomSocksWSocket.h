#pragma once

#include "net/TCustomWSocket.h"

namespace pw::net {

// SOCKS proxy negotiation layer; inactive in this program, so every step passes straight through.
class TCustomSocksWSocket : public TCustomWSocket {
public:
    using TCustomWSocket::TCustomWSocket;
};

} // namespace pw::net
