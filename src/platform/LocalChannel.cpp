#include "platform/LocalChannel.h"

#include "platform/FolderLock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

namespace pw::platform {

namespace {

constexpr size_t kMaxSocketPath = sizeof(sockaddr_un::sun_path) - 1;

// A folder of this user that nobody else can enter.
bool IsPrivateFolder(const QByteArray& path)
{
    struct stat st {};
    return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
           (st.st_mode & 077) == 0;
}

bool MakePrivateFolder(const QByteArray& path)
{
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    // What stands there may be another user's or a link: then it is not ours to use.
    return IsPrivateFolder(path);
}

bool IsOwnFolder(const QByteArray& path)
{
    struct stat st {};
    return !path.isEmpty() && ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::getuid();
}

sockaddr_un AddressOf(const QByteArray& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
    return address;
}

long long NowMs()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

// Waits for `events` on fd until the deadline; false when it passed.
bool WaitFor(int fd, short events, long long deadline)
{
    for (;;) {
        const long long left = deadline - NowMs();
        if (left <= 0)
            return false;
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, static_cast<int>(left));
        if (n > 0)
            return true;
        if (n < 0 && errno != EINTR)
            return false;
    }
}

} // namespace

QByteArray LocalChannel::SocketPath(const QString& key, const QProcessEnvironment& env)
{
    const QByteArray name =
        "window-" + QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex().left(16) +
        ".socket";
    QByteArrayList folders;
    const QByteArray runtime = QFile::encodeName(env.value(QStringLiteral("XDG_RUNTIME_DIR")));
    // A runtime folder that is missing or not ours (a stale variable after "su") is not used.
    if (runtime.startsWith('/') && IsOwnFolder(runtime))
        folders << runtime + "/panelwick";
    const QString temp = env.value(QStringLiteral("TMPDIR"), QStringLiteral("/tmp"));
    folders << QFile::encodeName(
                   QDir::cleanPath(temp.startsWith(QLatin1Char('/')) ? temp : QStringLiteral("/tmp"))) +
                   "/panelwick-" + QByteArray::number(::getuid());
    for (const QByteArray& folder : folders) {
        const QByteArray path = folder + '/' + name;
        if (static_cast<size_t>(path.size()) <= kMaxSocketPath && MakePrivateFolder(folder))
            return path;
    }
    return {};
}

int LocalChannel::Reach(const QByteArray& socketPath)
{
    if (socketPath.isEmpty() || static_cast<size_t>(socketPath.size()) > kMaxSocketPath)
        return -1;
    // Mostly nobody listens (a batch run tells every stored strip): one call to learn that.
    struct stat st {};
    if (::lstat(socketPath.constData(), &st) != 0)
        return -1;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const sockaddr_un address = AddressOf(socketPath);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        return fd;
    const int error = errno;
    ::close(fd);
    errno = error;
    return -1;
}

int LocalChannel::Listen(const QByteArray& socketPath)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    // Only a socket is replaced: whatever else stands there is not ours to remove.
    struct stat st {};
    if (::lstat(socketPath.constData(), &st) == 0 && S_ISSOCK(st.st_mode))
        ::unlink(socketPath.constData());
    const sockaddr_un address = AddressOf(socketPath);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 16) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

LocalChannel::Claim LocalChannel::ClaimOrReach(const QByteArray& socketPath)
{
    Claim claim;
    if (socketPath.isEmpty())
        return claim;
    const FolderLock lock(QFile::decodeName(socketPath));
    claim.PeerFd = Reach(socketPath);
    if (claim.PeerFd >= 0)
        return claim;
    if (errno == EAGAIN) { // alive, with its queue of connections full
        claim.PeerBusy = true;
        return claim;
    }
    // Nobody listens (no socket, or one left by a run that crashed): this process will.
    if (errno == ENOENT || errno == ECONNREFUSED)
        claim.ListenFd = Listen(socketPath);
    return claim;
}

std::optional<QByteArray> LocalChannel::Exchange(int fd, const QByteArray& request, int timeoutMs)
{
    const long long deadline = NowMs() + timeoutMs;
    std::optional<QByteArray> answer;
    qsizetype sent = 0;
    while (sent < request.size()) {
        const ssize_t n =
            ::send(fd, request.constData() + sent, static_cast<size_t>(request.size() - sent), MSG_NOSIGNAL);
        if (n > 0) {
            sent += n;
        } else if (n < 0 && errno == EINTR) {
        } else if (n < 0 && errno == EAGAIN) {
            if (!WaitFor(fd, POLLOUT, deadline))
                break;
        } else {
            if (errno == EPIPE || errno == ECONNRESET)
                answer = QByteArray(); // the peer went away unanswering
            break;
        }
    }
    if (sent == request.size()) {
        ::shutdown(fd, SHUT_WR);
        QByteArray bytes;
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n > 0) {
                bytes.append(buffer, n);
                if (bytes.size() > kMaxMessage)
                    break;
            } else if (n == 0) {
                answer = bytes;
                break;
            } else if (errno == EINTR) {
            } else if (errno == ECONNRESET) {
                answer = QByteArray();
                break;
            } else if (errno != EAGAIN || !WaitFor(fd, POLLIN, deadline)) {
                break;
            }
        }
    }
    ::close(fd);
    return answer;
}

void LocalChannel::Tell(int fd, const QByteArray& request)
{
    // Never waits: a window that does not read must not hold up a batch run.
    ::send(fd, request.constData(), static_cast<size_t>(request.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
    ::close(fd);
}

} // namespace pw::platform
