#pragma once

#include <QByteArray>
#include <QObject>
#include <functional>
#include <list>
#include <memory>
#include <sys/types.h>

class QSocketNotifier;
class QTimer;

namespace pw::platform {

// The listening side of a LocalChannel, on the event loop: each connection brings one
// request (everything the peer sends until it ends its sending side), gets one answer and
// is closed. A peer that sends too much, or does not finish within a few seconds, is
// dropped; so are connections beyond a handful at once. Nothing here ever blocks.
class LocalRequestServer : public QObject {
public:
    // Takes over listenFd, a listening socket bound at socketPath (LocalChannel::ClaimOrReach).
    LocalRequestServer(int listenFd, QByteArray socketPath, QObject* parent = nullptr);
    // Closes every connection and removes the socket file when it is still this one's.
    ~LocalRequestServer() override;
    LocalRequestServer(const LocalRequestServer&) = delete;
    LocalRequestServer& operator=(const LocalRequestServer&) = delete;

    // The answer to a request; runs on the event loop, under the exception guard.
    std::function<QByteArray(const QByteArray& request)> OnRequest;

    static constexpr int kMaxConnections = 16;
    static constexpr int kRequestTimeoutMs = 5000;

private:
    struct Connection;
    void Accept();
    void Read(Connection& connection);
    void Answer(Connection& connection);
    void Drop(Connection& connection);

    int listenFd_ = -1;
    QByteArray socketPath_;
    dev_t device_ = 0;
    ino_t inode_ = 0;
    QSocketNotifier* listenNotifier_ = nullptr;
    std::list<std::unique_ptr<Connection>> connections_;
};

} // namespace pw::platform
