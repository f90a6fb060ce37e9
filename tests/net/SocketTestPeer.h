#pragma once

// Plain POSIX peers on 127.0.0.1 for the socket tests; deliberately not our socket class.

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace pw::test {

inline sockaddr_in Loopback(std::uint16_t port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

inline std::uint16_t LocalPortOf(int fd)
{
    sockaddr_in a{};
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    return ntohs(a.sin_port);
}

// A listening socket on a free loopback port.
class PeerListener {
public:
    PeerListener()
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a = Loopback(0);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(fd_, 16);
        port_ = LocalPortOf(fd_);
    }
    ~PeerListener() { ::close(fd_); }
    PeerListener(const PeerListener&) = delete;
    PeerListener& operator=(const PeerListener&) = delete;

    std::uint16_t Port() const { return port_; }
    QString PortText() const { return QString::number(port_); }

    // Accepts one connection, running the event loop meanwhile; -1 after ms.
    int Accept(int ms = 30000)
    {
        QDeadlineTimer deadline(ms);
        while (!deadline.hasExpired()) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 5) > 0)
                return ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        return -1;
    }

private:
    int fd_ = -1;
    std::uint16_t port_ = 0;
};

// A loopback port with nobody listening: connects to it are refused.
inline std::uint16_t RefusingPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = Loopback(0);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    const std::uint16_t port = LocalPortOf(fd);
    ::close(fd);
    return port;
}

inline int ConnectTo(std::uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = Loopback(port);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

inline bool SendAll(int fd, const QByteArray& data)
{
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n =
            ::send(fd, data.constData() + done, static_cast<size_t>(data.size() - done), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// Reads until `want` bytes arrived, the peer closed, or ms passed; the event loop keeps
// running so that our socket can go on writing.
inline QByteArray ReadPeer(int fd, qsizetype want, int ms = 10000)
{
    QByteArray got;
    QDeadlineTimer deadline(ms);
    char buf[65536];
    while (got.size() < want && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 2) <= 0)
            continue;
        const ssize_t n = ::recv(fd, buf, sizeof buf, MSG_DONTWAIT);
        if (n == 0)
            break;
        if (n > 0)
            got.append(buf, n);
    }
    return got;
}

// Closes with a reset instead of an orderly end.
inline void ResetAndClose(int fd)
{
    linger li{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &li, sizeof li);
    ::close(fd);
}

// Runs the event loop for ms without sleeping in between, so a busy notifier would show.
inline void RunLoopFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

inline double ProcessCpuSeconds()
{
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

inline int OpenDescriptors()
{
    int count = 0;
    for (int fd = 0; fd < 4096; ++fd)
        if (::fcntl(fd, F_GETFD) != -1)
            ++count;
    return count;
}

} // namespace pw::test
