#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <netinet/in.h>
#include <sys/socket.h>

namespace pw::platform {
class MessageTarget;
}

namespace pw::net {

using TSocket = int;
inline constexpr TSocket INVALID_SOCKET = -1;
inline constexpr int SOCKET_ERROR = -1;

// Notification bits of the socket message (low word of lParam).
inline constexpr unsigned FD_READ = 0x01;
inline constexpr unsigned FD_WRITE = 0x02;
inline constexpr unsigned FD_OOB = 0x04;
inline constexpr unsigned FD_ACCEPT = 0x08;
inline constexpr unsigned FD_CONNECT = 0x10;
inline constexpr unsigned FD_CLOSE = 0x20;

// The sockets library: every platform socket call of the program goes through here.
// Failed calls set the thread's last socket error (the classic numbers, never errno).
// The first call initialises the layer ("loads the library"); Release() undoes it.
class WSocketApi {
public:
    // Library state and the count of live socket objects.
    static void EnsureLoaded();
    static bool Loaded();
    static void Release();
    static int LiveSockets();
    static void SocketCreated();
    static void SocketDestroyed(); // releases the library when the count drops to 0

    static int GetLastError();
    static void SetLastError(int code);

    // Handle life. Sockets are non-blocking and close-on-exec.
    static TSocket Socket(int family, int type, int protocol);
    static int Bind(TSocket s, const sockaddr_in& addr);
    static int Listen(TSocket s, int backlog);
    static TSocket Accept(TSocket s, sockaddr_in* addr, socklen_t* len);
    static int Connect(TSocket s, const sockaddr_in& addr);
    static int CloseSocket(TSocket s);
    static int Shutdown(TSocket s, int how);
    static int SetSockOpt(TSocket s, int level, int option, const void* value, socklen_t len);

    // Data. Send never raises SIGPIPE.
    static int Send(TSocket s, const void* data, int len, int flags);
    static int SendTo(TSocket s, const void* data, int len, int flags, const sockaddr_in& to);
    static int Recv(TSocket s, void* buf, int len, int flags);
    static int RecvFrom(TSocket s, void* buf, int len, int flags, sockaddr_in* from, socklen_t* fromLen);
    static int BytesReadable(TSocket s, int* count); // the FIONREAD query: 0 or -1

    static int GetSockName(TSocket s, sockaddr_in* addr, socklen_t* len);
    static int GetPeerName(TSocket s, sockaddr_in* addr, socklen_t* len);

    // Dotted text <-> address in network order; InetAddr gives INADDR_NONE for bad text.
    static std::uint32_t InetAddr(const QString& text);
    static QString InetNtoa(std::uint32_t addr);

    // Asynchronous notifications: posts msg to target with wParam = s and
    // lParam = bits | error << 16 (bits 32..63 carry cookie). mask 0 switches them off.
    static int AsyncSelect(TSocket s, platform::MessageTarget* target, unsigned msg, unsigned mask,
                           std::uint32_t cookie = 0);

    // Asynchronous lookups: a non-zero handle, completion posted as msg with wParam = handle
    // and the error in the high word of lParam. The result is fetched with TakeLookupResult.
    static std::uint64_t AsyncGetHostByName(platform::MessageTarget* target, unsigned msg,
                                            const QString& name);
    static std::uint64_t AsyncGetHostByAddr(platform::MessageTarget* target, unsigned msg,
                                            std::uint32_t addr);
    static int CancelAsyncRequest(std::uint64_t handle);
    static QStringList TakeLookupResult(std::uint64_t handle);
};

} // namespace pw::net
