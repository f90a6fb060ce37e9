#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

namespace pw::platform {

class MessageTarget;

// Host-name lookups on worker threads. Each request gets a non-zero handle; its end is
// posted to the target as msg with wParam = handle and lParam = error << 16 (the socket
// error numbers, 0 for success). The result waits here until taken or cancelled.
// A cancelled request posts nothing; after Cancel the target may be destroyed.
class AsyncResolver {
public:
    using Handle = std::uint64_t;

    // IPv4 addresses of name, as dotted texts in the resolver's order.
    static Handle StartHostByName(MessageTarget* target, unsigned msg, const QString& name);
    // The host name of an IPv4 address (network byte order).
    static Handle StartHostByAddr(MessageTarget* target, unsigned msg, std::uint32_t address);
    // False when the handle is unknown (never given, already taken or cancelled).
    static bool Cancel(Handle handle);
    // Removes and returns a finished request's result; empty when unknown or failed.
    static QStringList TakeResult(Handle handle);
    // Requests not yet taken or cancelled (for tests).
    static int Outstanding();
};

} // namespace pw::platform
