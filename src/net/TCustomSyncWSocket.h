#pragma once

#include "net/TCustomLineWSocket.h"

namespace pw::net {

// Wait-until-done layer; nothing waits here, so it adds no behaviour.
class TCustomSyncWSocket : public TCustomLineWSocket {
public:
    using TCustomLineWSocket::TCustomLineWSocket;
};

} // namespace pw::net
