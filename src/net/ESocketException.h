#pragma once

#include "platform/Exception.h"

namespace pw::net {

// Raised by the socket layer; carries the message text only.
class ESocketException : public platform::Exception {
public:
    using platform::Exception::Exception;
};

} // namespace pw::net
