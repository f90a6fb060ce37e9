#pragma once

#include "platform/Exception.h"

namespace pw::print {

// A printer error: its text reaches the user through the default error box.
class EPrinter : public platform::Exception {
public:
    using platform::Exception::Exception;
};

} // namespace pw::print
