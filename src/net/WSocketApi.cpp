#include "WSocketApi.h"

#include "platform/AsyncResolver.h"
#include "platform/SocketErrors.h"
#include "platform/SocketReadiness.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace pw::net {

using platform::SocketReadiness;

namespace {

bool gLoaded = false;
int gLiveSockets = 0;
thread_local int tLastError = 0;

// Records errno as the last socket error; returns -1 for the caller to hand on.
int Fail()
{
    tLastError = platform::SocketErrorFromErrno(errno);
    return SOCKET_ERROR;
}

} // namespace

void WSocketApi::EnsureLoaded()
{
    // Nothing to load on POSIX: the layer only notes that it is in use.
    gLoaded = true;
}

bool WSocketApi::Loaded()
{
    return gLoaded;
}

void WSocketApi::Release()
{
    gLoaded = false;
    gLiveSockets = 0;
}

int WSocketApi::LiveSockets()
{
    return gLiveSockets;
}

void WSocketApi::SocketCreated()
{
    ++gLiveSockets;
}

void WSocketApi::SocketDestroyed()
{
    if (--gLiveSockets <= 0)
        Release();
}

int WSocketApi::GetLastError()
{
    return tLastError;
}

void WSocketApi::SetLastError(int code)
{
    tLastError = code;
}

TSocket WSocketApi::Socket(int family, int type, int protocol)
{
    EnsureLoaded();
    const int fd = ::socket(family, type | SOCK_NONBLOCK | SOCK_CLOEXEC, protocol);
    if (fd < 0) {
        Fail();
        return INVALID_SOCKET;
    }
    SocketReadiness::Opened(fd, type, false);
    return fd;
}

int WSocketApi::Bind(TSocket s, const sockaddr_in& addr)
{
    EnsureLoaded();
    return ::bind(s, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0 ? 0 : Fail();
}

int WSocketApi::Listen(TSocket s, int backlog)
{
    EnsureLoaded();
    if (::listen(s, backlog) != 0)
        return Fail();
    SocketReadiness::Listening(s);
    return 0;
}

TSocket WSocketApi::Accept(TSocket s, sockaddr_in* addr, socklen_t* len)
{
    EnsureLoaded();
    const int fd = ::accept4(s, reinterpret_cast<sockaddr*>(addr), len, SOCK_NONBLOCK | SOCK_CLOEXEC);
    const int err = errno;
    SocketReadiness::Rearm(s, SocketReadiness::Accept);
    if (fd < 0) {
        errno = err;
        Fail();
        return INVALID_SOCKET;
    }
    SocketReadiness::Opened(fd, SOCK_STREAM, true);
    return fd;
}

int WSocketApi::Connect(TSocket s, const sockaddr_in& addr)
{
    EnsureLoaded();
    const int rc = ::connect(s, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
    if (rc == 0 || errno == EINPROGRESS)
        SocketReadiness::ConnectStarted(s);
    return rc == 0 ? 0 : Fail();
}

int WSocketApi::CloseSocket(TSocket s)
{
    EnsureLoaded();
    SocketReadiness::Forget(s);
    // Linux releases the descriptor even when close reports EINTR: never retry.
    if (::close(s) == 0 || errno == EINTR)
        return 0;
    return Fail();
}

int WSocketApi::Shutdown(TSocket s, int how)
{
    EnsureLoaded();
    return ::shutdown(s, how) == 0 ? 0 : Fail();
}

int WSocketApi::SetSockOpt(TSocket s, int level, int option, const void* value, socklen_t len)
{
    EnsureLoaded();
    return ::setsockopt(s, level, option, value, len) == 0 ? 0 : Fail();
}

int WSocketApi::Send(TSocket s, const void* data, int len, int flags)
{
    EnsureLoaded();
    const ssize_t n = ::send(s, data, static_cast<size_t>(len), flags | MSG_NOSIGNAL);
    if (n >= 0) {
        // A short write means the rest would have blocked: report when room comes.
        if (n < len)
            SocketReadiness::Rearm(s, SocketReadiness::Write);
        return static_cast<int>(n);
    }
    if (errno == EAGAIN || errno == EWOULDBLOCK)
        SocketReadiness::Rearm(s, SocketReadiness::Write);
    return Fail();
}

int WSocketApi::SendTo(TSocket s, const void* data, int len, int flags, const sockaddr_in& to)
{
    EnsureLoaded();
    const ssize_t n = ::sendto(s, data, static_cast<size_t>(len), flags | MSG_NOSIGNAL,
                               reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (n >= 0)
        return static_cast<int>(n);
    if (errno == EAGAIN || errno == EWOULDBLOCK)
        SocketReadiness::Rearm(s, SocketReadiness::Write);
    return Fail();
}

int WSocketApi::Recv(TSocket s, void* buf, int len, int flags)
{
    return RecvFrom(s, buf, len, flags, nullptr, nullptr); // recvfrom without an address is recv
}

int WSocketApi::RecvFrom(TSocket s, void* buf, int len, int flags, sockaddr_in* from, socklen_t* fromLen)
{
    EnsureLoaded();
    const ssize_t n = ::recvfrom(s, buf, static_cast<size_t>(len < 0 ? 0 : len), flags,
                                 reinterpret_cast<sockaddr*>(from), fromLen);
    const int err = errno;
    SocketReadiness::Rearm(s, SocketReadiness::Read);
    if (n >= 0)
        return static_cast<int>(n);
    errno = err;
    return Fail();
}

int WSocketApi::BytesReadable(TSocket s, int* count)
{
    EnsureLoaded();
    int n = 0;
    if (::ioctl(s, FIONREAD, &n) != 0) {
        *count = 0;
        return Fail();
    }
    *count = n;
    return 0;
}

int WSocketApi::GetSockName(TSocket s, sockaddr_in* addr, socklen_t* len)
{
    EnsureLoaded();
    return ::getsockname(s, reinterpret_cast<sockaddr*>(addr), len) == 0 ? 0 : Fail();
}

int WSocketApi::GetPeerName(TSocket s, sockaddr_in* addr, socklen_t* len)
{
    EnsureLoaded();
    return ::getpeername(s, reinterpret_cast<sockaddr*>(addr), len) == 0 ? 0 : Fail();
}

std::uint32_t WSocketApi::InetAddr(const QString& text)
{
    EnsureLoaded();
    const QByteArray bytes = text.trimmed().toLatin1();
    if (bytes.contains('\0'))
        return INADDR_NONE;
    return ::inet_addr(bytes.constData());
}

QString WSocketApi::InetNtoa(std::uint32_t addr)
{
    EnsureLoaded();
    in_addr a{};
    a.s_addr = addr;
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &a, text, sizeof text);
    return QString::fromLatin1(text);
}

int WSocketApi::AsyncSelect(TSocket s, platform::MessageTarget* target, unsigned msg, unsigned mask,
                            std::uint32_t cookie)
{
    EnsureLoaded();
    if (mask == 0) {
        if (::fcntl(s, F_GETFD) < 0)
            return Fail();
    } else if (!SocketReadiness::MadeHere(s)) { // ours are non-blocking from the start
        // Like the classic interface: asking for notifications makes the socket non-blocking.
        const int flags = ::fcntl(s, F_GETFL);
        if (flags < 0 || ::fcntl(s, F_SETFL, flags | O_NONBLOCK) != 0)
            return Fail();
    }
    SocketReadiness::Select(s, target, msg, mask, cookie);
    return 0;
}

std::uint64_t WSocketApi::AsyncGetHostByName(platform::MessageTarget* target, unsigned msg,
                                             const QString& name)
{
    EnsureLoaded();
    return platform::AsyncResolver::StartHostByName(target, msg, name);
}

std::uint64_t WSocketApi::AsyncGetHostByAddr(platform::MessageTarget* target, unsigned msg,
                                             std::uint32_t addr)
{
    EnsureLoaded();
    return platform::AsyncResolver::StartHostByAddr(target, msg, addr);
}

int WSocketApi::CancelAsyncRequest(std::uint64_t handle)
{
    EnsureLoaded();
    if (platform::AsyncResolver::Cancel(handle))
        return 0;
    tLastError = platform::WSAEINVAL;
    return SOCKET_ERROR;
}

QStringList WSocketApi::TakeLookupResult(std::uint64_t handle)
{
    return platform::AsyncResolver::TakeResult(handle);
}

} // namespace pw::net
