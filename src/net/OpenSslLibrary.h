#pragma once

namespace pw::net {

// Opens OpenSSL on first use (the program does not load it at start); false when it
// cannot be opened or lacks a function this program calls. Every OpenSSL function the
// TLS layer calls opens it too, and fails harmlessly without it.
bool OpenSslAvailable();

} // namespace pw::net
