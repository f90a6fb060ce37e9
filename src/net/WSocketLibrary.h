#pragma once

#include "net/ESocketException.h"
#include "platform/SocketErrors.h"

#include <QString>
#include <cstdint>

namespace pw::net {

// The socket error numbers (WSAEWOULDBLOCK = 10035, WSAECONNREFUSED = 10061, ...).
using namespace platform::socket_errors;

// Fixed English text for a socket error number ("Connection refused", ...).
QString SocketErrorText(int ErrCode);

// True for exactly four dot-separated decimal numbers of at most 255, blanks allowed
// around the whole text.
bool IsDottedAddress(const QString& S);
inline bool WSocket_IsDottedAddress(const QString& S)
{
    return IsDottedAddress(S);
}

// Address in network byte order; a host name is looked up (blocking).
// Raises ESocketException on failure.
std::uint32_t WSocketResolveHost(const QString& InAddr);
// Port in host byte order: leading digits, or a service name for Proto.
std::uint16_t WSocketResolvePort(const QString& Port, const QString& Proto);
// Protocol number: leading digits, or a protocol name ("tcp" -> 6).
int WSocketResolveProto(const QString& Proto);

} // namespace pw::net
