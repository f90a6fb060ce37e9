// Receives and sends a large stream over loopback with TWSocket, and the same with plain
// blocking POSIX calls, and prints time, throughput and CPU for both.
// Usage: bench_socket [megabytes=200]

#include "net/TWSocket.h"
#include "platform/GuardedCoreApplication.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace pw::net;

namespace {

double CpuSeconds()
{
    rusage u{};
    ::getrusage(RUSAGE_THREAD, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

int Listener(std::uint16_t& port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(fd, 1);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
    return fd;
}

// The peer: accepts one connection, then writes (or reads) `total` bytes and closes.
std::thread Peer(int listener, long long total, bool peerWrites)
{
    return std::thread([=] {
        const int fd = ::accept(listener, nullptr, nullptr);
        std::vector<char> buf(256 * 1024, 'x');
        long long done = 0;
        while (done < total) {
            const ssize_t n = peerWrites
                                  ? ::send(fd, buf.data(), std::min<long long>(buf.size(), total - done), 0)
                                  : ::recv(fd, buf.data(), buf.size(), 0);
            if (n <= 0)
                break;
            done += n;
        }
        ::close(fd);
    });
}

void Report(const char* what, long long bytes, double seconds, double cpu)
{
    std::printf("%-34s %8.1f MB/s  %6.3f s  cpu %6.3f s (this thread)\n", what, bytes / seconds / 1e6,
                seconds, cpu);
}

void ReceiveWithSocket(long long total, int readSize)
{
    std::uint16_t port = 0;
    const int listener = Listener(port);
    std::thread peer = Peer(listener, total, true);
    TWSocket s;
    long long got = 0;
    bool closed = false;
    std::vector<char> buf(readSize);
    s.OnDataAvailable = [&](TCustomWSocket* sender, std::uint16_t) {
        const int n = sender->Receive(buf.data(), readSize);
        if (n > 0)
            got += n;
    };
    s.OnSessionClosed = [&](TCustomWSocket*, std::uint16_t) { closed = true; };
    QElapsedTimer t;
    t.start();
    const double cpu0 = CpuSeconds();
    s.SetAddr(QStringLiteral("127.0.0.1"));
    s.SetPort(QString::number(port));
    s.Connect();
    while (!closed)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double secs = t.nsecsElapsed() / 1e9;
    const double cpu = CpuSeconds() - cpu0;
    peer.join();
    ::close(listener);
    char label[64];
    std::snprintf(label, sizeof label, "TWSocket receive, %d-byte reads", readSize);
    Report(label, got, secs, cpu);
}

void ReceivePlain(long long total, int readSize)
{
    std::uint16_t port = 0;
    const int listener = Listener(port);
    std::thread peer = Peer(listener, total, true);
    QElapsedTimer t;
    t.start();
    const double cpu0 = CpuSeconds();
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    std::vector<char> buf(readSize);
    long long got = 0;
    for (;;) {
        const ssize_t n = ::recv(fd, buf.data(), buf.size(), 0);
        if (n <= 0)
            break;
        got += n;
    }
    const double secs = t.nsecsElapsed() / 1e9;
    const double cpu = CpuSeconds() - cpu0;
    ::close(fd);
    peer.join();
    ::close(listener);
    char label[64];
    std::snprintf(label, sizeof label, "blocking recv, %d-byte reads", readSize);
    Report(label, got, secs, cpu);
}

void SendWithSocket(long long total)
{
    std::uint16_t port = 0;
    const int listener = Listener(port);
    std::thread peer = Peer(listener, total, false);
    TWSocket s;
    std::vector<char> chunk(1024 * 1024, 'y');
    long long queued = 0;
    bool done = false;
    s.OnSessionConnected = [&](TCustomWSocket*, std::uint16_t) {};
    s.OnDataSent = [&](TCustomWSocket* sender, std::uint16_t) {
        if (queued < total) {
            queued += sender->Send(chunk.data(), static_cast<int>(chunk.size()));
        } else {
            done = true;
        }
    };
    QElapsedTimer t;
    t.start();
    const double cpu0 = CpuSeconds();
    s.SetAddr(QStringLiteral("127.0.0.1"));
    s.SetPort(QString::number(port));
    s.Connect();
    while (!done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    s.Close();
    peer.join();
    const double secs = t.nsecsElapsed() / 1e9;
    const double cpu = CpuSeconds() - cpu0;
    ::close(listener);
    Report("TWSocket send (1514-byte blocks)", queued, secs, cpu);
}

// Many sockets at once: a peer thread answers each connection with `each` bytes and
// closes; all sockets are open together, driven by the one event loop.
void ManyConnections(int count, int each)
{
    std::uint16_t port = 0;
    const int listener = Listener(port);
    ::listen(listener, 4096);
    std::thread peer([=] {
        std::vector<char> reply(each, 'z');
        for (int i = 0; i < count; ++i) {
            const int fd = ::accept(listener, nullptr, nullptr);
            if (fd < 0)
                break;
            ::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
            ::close(fd);
        }
    });
    std::vector<std::unique_ptr<TWSocket>> sockets;
    long long got = 0;
    int closed = 0;
    std::vector<char> buf(8192);
    QElapsedTimer t;
    t.start();
    const double cpu0 = CpuSeconds();
    for (int i = 0; i < count; ++i) {
        auto s = std::make_unique<TWSocket>();
        s->OnDataAvailable = [&](TCustomWSocket* sender, std::uint16_t) {
            const int n = sender->Receive(buf.data(), static_cast<int>(buf.size()));
            if (n > 0)
                got += n;
        };
        s->OnSessionClosed = [&](TCustomWSocket*, std::uint16_t) { ++closed; };
        s->SetAddr(QStringLiteral("127.0.0.1"));
        s->SetPort(QString::number(port));
        s->Connect();
        sockets.push_back(std::move(s));
    }
    while (closed < count)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double secs = t.nsecsElapsed() / 1e9;
    const double cpu = CpuSeconds() - cpu0;
    peer.join();
    ::close(listener);
    std::printf("%d parallel connections x %d bytes: %6.3f s, cpu %6.3f s, %lld bytes\n", count, each, secs,
                cpu, got);
}

} // namespace

int main(int argc, char** argv)
{
    pw::platform::GuardedCoreApplication app(argc, argv);
    const long long mb = argc > 1 ? std::atoll(argv[1]) : 200;
    const long long total = mb * 1024 * 1024;
    std::printf("%lld MB over 127.0.0.1\n", mb);
    ReceivePlain(total, 65536);
    ReceiveWithSocket(total, 65536);
    ReceivePlain(total, 8192);
    ReceiveWithSocket(total, 8192);
    SendWithSocket(total);
    ManyConnections(2000, 16384);
    return 0;
}
