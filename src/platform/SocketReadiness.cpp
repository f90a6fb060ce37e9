#include "SocketReadiness.h"

#include "ExceptionGuard.h"
#include "MessageTarget.h"
#include "SocketErrors.h"

#include <QPointer>
#include <QSocketNotifier>
#include <cerrno>
#include <memory>
#include <sys/socket.h>
#include <unordered_map>

namespace pw::platform {

namespace {

struct Watch {
    int fd = -1;
    QPointer<MessageTarget> target;
    unsigned msg = 0;
    unsigned mask = 0;
    std::uint32_t cookie = 0;
    int type = SOCK_STREAM;
    bool listening = false;
    bool madeHere = false;       // non-blocking, and the fields above known, not asked
    bool connectedKnown = false; // until a connect starts, made here knows whether it is
    bool connected = false;
    bool connecting = false;
    bool closeReported = false;
    std::unique_ptr<QSocketNotifier> readNotifier;
    std::unique_ptr<QSocketNotifier> writeNotifier;

    void Post(unsigned bits, int error) const
    {
        if (!target)
            return;
        const auto lParam = static_cast<std::uint64_t>(bits & 0xFFFFu) |
                            (static_cast<std::uint64_t>(error & 0xFFFF) << 16) |
                            (static_cast<std::uint64_t>(cookie) << 32);
        target->Post(msg, static_cast<WParam>(fd), static_cast<LParam>(lParam));
    }

    bool WantsRead() const
    {
        if (listening)
            return (mask & SocketReadiness::Accept) != 0;
        return (mask & (SocketReadiness::Read | SocketReadiness::Close)) != 0 && !connecting &&
               !closeReported;
    }

    void ArmRead(bool on)
    {
        on = on && WantsRead();
        if (readNotifier && readNotifier->isEnabled() != on)
            readNotifier->setEnabled(on);
    }

    void ArmWrite(bool on)
    {
        on = on && (connecting || (mask & SocketReadiness::Write) != 0);
        if (writeNotifier && writeNotifier->isEnabled() != on)
            writeNotifier->setEnabled(on);
    }

    void ReadReady();
    void WriteReady();
};

std::unordered_map<int, std::unique_ptr<Watch>>& Watches()
{
    static std::unordered_map<int, std::unique_ptr<Watch>> watches;
    return watches;
}

Watch* Find(int fd)
{
    auto& w = Watches();
    auto it = w.find(fd);
    return it == w.end() ? nullptr : it->second.get();
}

void Watch::ReadReady()
{
    // Reported once; the consumer's next call re-arms.
    readNotifier->setEnabled(false);
    if (listening) {
        Post(SocketReadiness::Accept, 0);
        return;
    }
    if (type != SOCK_STREAM) {
        Post(SocketReadiness::Read, 0);
        return;
    }
    char probe = 0;
    const ssize_t n = ::recv(fd, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n > 0) {
        if (mask & SocketReadiness::Read)
            Post(SocketReadiness::Read, 0);
        return;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
        readNotifier->setEnabled(true); // spurious wake-up
        return;
    }
    // The peer is gone: an orderly end (0) or an error such as a reset.
    closeReported = true;
    if (mask & SocketReadiness::Close)
        Post(SocketReadiness::Close, n == 0 ? 0 : SocketErrorFromErrno(errno));
}

void Watch::WriteReady()
{
    writeNotifier->setEnabled(false);
    if (connecting) {
        connecting = false;
        int err = 0;
        socklen_t len = sizeof err;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0)
            err = errno;
        const int code = SocketErrorFromErrno(err);
        unsigned bits = SocketReadiness::Connect;
        if (code == 0 && (mask & SocketReadiness::Write))
            bits |= SocketReadiness::Write; // a fresh connection can take data
        Post(bits, code);
        if (code == 0)
            ArmRead(true);
        return;
    }
    if (mask & SocketReadiness::Write)
        Post(SocketReadiness::Write, 0);
}

bool SocketOption(int fd, int option, int& value)
{
    socklen_t len = sizeof value;
    return ::getsockopt(fd, SOL_SOCKET, option, &value, &len) == 0;
}

} // namespace

void SocketReadiness::Opened(int fd, int type, bool connected)
{
    auto created = std::make_unique<Watch>();
    created->fd = fd;
    created->type = type;
    created->madeHere = true;
    created->connectedKnown = true;
    created->connected = connected;
    Watches()[fd] = std::move(created); // a number reused after a close starts afresh
}

bool SocketReadiness::MadeHere(int fd)
{
    const Watch* w = Find(fd);
    return w && w->madeHere;
}

void SocketReadiness::Listening(int fd)
{
    if (Watch* w = Find(fd)) {
        w->listening = true;
        w->connectedKnown = false;
    }
}

void SocketReadiness::Select(int fd, MessageTarget* target, unsigned msg, unsigned mask, std::uint32_t cookie)
{
    auto& watches = Watches();
    Watch* w = Find(fd);
    if (!w) {
        if (mask == 0)
            return;
        auto created = std::make_unique<Watch>();
        w = created.get();
        w->fd = fd;
        if (!SocketOption(fd, SO_TYPE, w->type))
            w->type = SOCK_STREAM;
        int acceptConn = 0;
        w->listening = SocketOption(fd, SO_ACCEPTCONN, acceptConn) && acceptConn != 0;
        watches.emplace(fd, std::move(created));
    }
    if (!w->readNotifier && mask != 0) {
        w->readNotifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        w->readNotifier->setEnabled(false);
        QObject::connect(w->readNotifier.get(), &QSocketNotifier::activated,
                         [w] { Guarded([w] { w->ReadReady(); }); });
        w->writeNotifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
        w->writeNotifier->setEnabled(false);
        QObject::connect(w->writeNotifier.get(), &QSocketNotifier::activated,
                         [w] { Guarded([w] { w->WriteReady(); }); });
    }
    w->target = target;
    w->msg = msg;
    w->mask = mask;
    w->cookie = cookie;
    if (mask == 0) {
        w->ArmRead(false);
        w->ArmWrite(false);
        return;
    }
    if (w->connecting) {
        w->ArmWrite(true);
        return;
    }
    bool connected = w->connected;
    if (!w->connectedKnown) {
        sockaddr_storage peer{};
        socklen_t len = sizeof peer;
        connected = ::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &len) == 0;
    }
    if (w->listening || w->type != SOCK_STREAM || connected) {
        // Whatever is pending now is reported as it would be after a fresh event.
        w->ArmRead(true);
        w->ArmWrite(!w->listening);
    }
    // An unconnected stream socket reports nothing until its connect starts.
}

void SocketReadiness::ConnectStarted(int fd)
{
    if (Watch* w = Find(fd)) {
        w->connecting = true;
        w->connectedKnown = false; // its outcome is asked of the socket from now on
        w->closeReported = false;
        w->ArmRead(false);
        if (w->mask != 0)
            w->ArmWrite(true);
    }
}

void SocketReadiness::Rearm(int fd, unsigned bits)
{
    Watch* w = Find(fd);
    if (!w || w->mask == 0)
        return;
    if (bits & (Read | Accept))
        w->ArmRead(true);
    if (bits & Write)
        w->ArmWrite(true);
}

void SocketReadiness::Forget(int fd)
{
    Watches().erase(fd);
}

} // namespace pw::platform
