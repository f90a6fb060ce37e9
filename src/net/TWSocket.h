#pragma once

#include "net/TCustomSyncWSocket.h"

namespace pw::net {

// The socket the HTTP client instantiates: TCustomWSocket -> TCustomSocksWSocket ->
// TCustomSslWSocket -> TCustomLineWSocket -> TCustomSyncWSocket -> TWSocket, everything public.
class TWSocket : public TCustomSyncWSocket {
public:
    using TCustomSyncWSocket::TCustomSyncWSocket;
};

} // namespace pw::net
