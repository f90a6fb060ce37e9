#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <optional>

namespace pw::platform {

// A per-user AF_UNIX stream socket through which processes of this program reach the
// one that listens: plain POSIX, so that a process that only hands a request over needs
// neither a display nor Qt's network module. The listening side is LocalRequestServer.
class LocalChannel {
public:
    // The socket for `key` (say, the configuration file's path): in $XDG_RUNTIME_DIR/panelwick
    // when the runtime folder is a private folder of this user, else in <temp>/panelwick-<uid>;
    // the folder is made private. Empty when no such folder can be had or the path would be
    // too long for a socket address.
    static QByteArray SocketPath(const QString& key,
                                 const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());

    // Who answers at a path, decided under a short lock so that two starts at the same
    // moment cannot both listen: the connected peer, or a new listening socket (a socket
    // file left by a crashed run is replaced), or neither when the socket cannot be made.
    struct Claim {
        int ListenFd = -1;
        int PeerFd = -1;
        bool PeerBusy = false; // someone listens but takes no more connections
    };
    static Claim ClaimOrReach(const QByteArray& socketPath);

    // A connected socket to whoever listens at path, or -1 (nobody, or unreachable).
    static int Reach(const QByteArray& socketPath);

    // Sends the request, ends the sending side and reads the answer until the peer closes.
    // Empty when the peer closed (or went away) without answering; nullopt when it does not
    // answer within timeoutMs. Closes fd.
    static std::optional<QByteArray> Exchange(int fd, const QByteArray& request, int timeoutMs);
    // Sends the request without waiting for anything (it is dropped when the peer's buffer
    // is full). Closes fd.
    static void Tell(int fd, const QByteArray& request);

    // The most a request or an answer may be.
    static constexpr int kMaxMessage = 64 * 1024;

private:
    static int Listen(const QByteArray& socketPath);
};

} // namespace pw::platform
