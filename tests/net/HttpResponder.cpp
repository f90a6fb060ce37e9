#include "HttpResponder.h"

#include "net/TWSocket.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace pw::test {

namespace {

// Bytes the client's socket holds but has not read; -1 when it has no socket.
int Unread(net::THttpCli& client)
{
    const int fd = static_cast<int>(client.Socket().HSocket());
    int n = 0;
    if (fd < 0 || ::ioctl(fd, FIONREAD, &n) != 0)
        return -1;
    return n;
}

} // namespace

HttpResponder::HttpResponder()
{
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(listenFd_, 16) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        if (listenFd_ >= 0)
            ::close(listenFd_);
        listenFd_ = -1;
        return;
    }
    port_ = ntohs(a.sin_port);
}

HttpResponder::~HttpResponder()
{
    End(true);
    if (listenFd_ >= 0)
        ::close(listenFd_);
}

bool HttpResponder::Begin(net::THttpCli& client, net::THttpRequest kind)
{
    client.Proxy = QStringLiteral("127.0.0.1");
    client.ProxyPort = QString::number(port_);
    switch (kind) {
    case net::THttpRequest::Head:
        client.StartHead();
        break;
    case net::THttpRequest::Post:
        client.StartPost();
        break;
    default:
        client.StartGet();
        break;
    }
    return Accept();
}

bool HttpResponder::TakePending()
{
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
        return false;
    End(true); // the client has left the previous connection
    fd_ = fd;
    const int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return true;
}

bool HttpResponder::Accept(int ms)
{
    const QDeadlineTimer deadline(ms);
    while (!TakePending()) {
        if (listenFd_ < 0 || deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

void HttpResponder::Feed(net::THttpCli& client, QByteArrayView bytes)
{
    TakePending();
    while (fd_ >= 0 && !bytes.isEmpty()) {
        const ssize_t n =
            ::send(fd_, bytes.data(), static_cast<size_t>(bytes.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno == EAGAIN) {
            QCoreApplication::processEvents(); // the client reads, the buffer empties
            continue;
        }
        if (n <= 0)
            return; // the client has closed its side
        bytes = bytes.sliced(n);
    }
    for (int i = 0; i < 1000 && Unread(client) > 0; ++i)
        QCoreApplication::processEvents();
}

void HttpResponder::DrainRequest()
{
    // Unread request bytes would turn our close into a reset.
    char buf[4096];
    while (::recv(fd_, buf, sizeof buf, MSG_DONTWAIT) > 0) {
    }
}

void HttpResponder::End(bool reset)
{
    if (fd_ < 0)
        return;
    if (reset) {
        const linger l{1, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    } else {
        DrainRequest();
    }
    ::close(fd_);
    fd_ = -1;
}

void HttpResponder::EndEverything(const std::function<bool()>& done, int ms)
{
    End();
    const QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (TakePending())
            End();
    }
}

} // namespace pw::test
