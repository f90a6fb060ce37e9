#include "platform/LocalRequestServer.h"

#include "platform/ExceptionGuard.h"
#include "platform/LocalChannel.h"

#include <QScopeGuard>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pw::platform {

struct LocalRequestServer::Connection {
    int fd = -1;
    QByteArray request;
    std::unique_ptr<QSocketNotifier> notifier;
    std::unique_ptr<QTimer> deadline;
};

LocalRequestServer::LocalRequestServer(int listenFd, QByteArray socketPath, QObject* parent)
    : QObject(parent), listenFd_(listenFd), socketPath_(std::move(socketPath))
{
    struct stat st {};
    if (::lstat(socketPath_.constData(), &st) == 0) {
        device_ = st.st_dev;
        inode_ = st.st_ino;
    }
    listenNotifier_ = new QSocketNotifier(listenFd_, QSocketNotifier::Read, this);
    connect(listenNotifier_, &QSocketNotifier::activated, this, [this] { Guarded([this] { Accept(); }); });
}

LocalRequestServer::~LocalRequestServer()
{
    for (auto& c : connections_) {
        c->notifier.reset();
        ::close(c->fd);
    }
    delete listenNotifier_;
    ::close(listenFd_);
    // A later run may already listen at the path: only this run's socket goes.
    struct stat st {};
    if (inode_ != 0 && ::lstat(socketPath_.constData(), &st) == 0 && st.st_dev == device_ &&
        st.st_ino == inode_)
        ::unlink(socketPath_.constData());
}

void LocalRequestServer::Accept()
{
    for (;;) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return; // EAGAIN: all taken; anything else: the next readiness tries again
        if (connections_.size() >= kMaxConnections) {
            ::close(fd);
            continue;
        }
        auto c = std::make_unique<Connection>();
        Connection& connection = *c;
        connection.fd = fd;
        connection.notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        connect(connection.notifier.get(), &QSocketNotifier::activated, this,
                [this, &connection] { Guarded([this, &connection] { Read(connection); }); });
        connection.deadline = std::make_unique<QTimer>();
        connection.deadline->setSingleShot(true);
        connect(connection.deadline.get(), &QTimer::timeout, this, [this, &connection] { Drop(connection); });
        connection.deadline->start(kRequestTimeoutMs);
        connections_.push_back(std::move(c));
    }
}

void LocalRequestServer::Read(Connection& connection)
{
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::recv(connection.fd, buffer, sizeof buffer, 0);
        if (n > 0) {
            connection.request.append(buffer, n);
            if (connection.request.size() > LocalChannel::kMaxMessage) {
                Drop(connection);
                return;
            }
        } else if (n == 0) {
            Answer(connection);
            return;
        } else if (errno == EINTR) {
        } else if (errno == EAGAIN) {
            return;
        } else {
            Drop(connection);
            return;
        }
    }
}

void LocalRequestServer::Answer(Connection& connection)
{
    // The connection is done with before the request is acted on: acting may open a
    // dialog whose own loop must not see this connection again.
    const QByteArray request = std::move(connection.request);
    connection.notifier->setEnabled(false);
    connection.deadline->stop();
    const int fd = connection.fd;
    connection.fd = -1;
    Drop(connection);
    QByteArray answer;
    auto closeAfter = qScopeGuard([&] {
        // A small answer fits the socket's buffer; a peer that went away loses nothing.
        ::send(fd, answer.constData(), static_cast<size_t>(answer.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
        ::close(fd);
    });
    if (OnRequest)
        answer = OnRequest(request);
}

void LocalRequestServer::Drop(Connection& connection)
{
    for (auto it = connections_.begin(); it != connections_.end(); ++it) {
        if (it->get() != &connection)
            continue;
        std::unique_ptr<Connection> gone = std::move(*it);
        connections_.erase(it);
        gone->notifier->setEnabled(false);
        gone->deadline->stop();
        if (gone->fd >= 0)
            ::close(gone->fd);
        // Deleted later: this may run inside the connection's own notifier or timer.
        gone->notifier.release()->deleteLater();
        gone->deadline.release()->deleteLater();
        return;
    }
}

} // namespace pw::platform
