#pragma once

#include <cstdint>

namespace pw::platform {

class MessageTarget;

// Turns readiness of non-blocking sockets (from the event loop) into posted socket
// messages: wParam = the socket, lParam = bits | error << 16 | cookie << 32.
// Each kind of news is reported once and re-armed only by the call that consumes it:
// read by the next recv, accept by the next accept, write after a send that would block.
// Connect is reported once (with write when it succeeded), close once, when the peer is
// found gone (with the reset error when it was reset). All on the thread of the loop.
class SocketReadiness {
public:
    static constexpr unsigned Read = 0x01;
    static constexpr unsigned Write = 0x02;
    static constexpr unsigned Accept = 0x08;
    static constexpr unsigned Connect = 0x10;
    static constexpr unsigned Close = 0x20;

    // fd was just made here, non-blocking, of the given type; connected when it came
    // from accept, else neither connected nor listening. Spares asking the socket.
    static void Opened(int fd, int type, bool connected);
    // Whether fd was made here (and so is non-blocking) and not forgotten since.
    static bool MadeHere(int fd);
    // listen() was called on fd.
    static void Listening(int fd);
    // Chooses what fd reports and to whom; mask 0 stops all reports for fd.
    static void Select(int fd, MessageTarget* target, unsigned msg, unsigned mask, std::uint32_t cookie);
    // A connect was started on fd: its outcome is reported as Connect.
    static void ConnectStarted(int fd);
    // The consumer of the given kind of news was called (Read, Accept or Write).
    static void Rearm(int fd, unsigned bits);
    // fd is about to be closed: no more reports.
    static void Forget(int fd);
};

} // namespace pw::platform
