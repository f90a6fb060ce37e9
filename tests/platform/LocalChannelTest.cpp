// The local channel's odd cases: where its socket lives, a socket left by a crashed run,
// two starts at once, and peers that misbehave.
#include "platform/LocalChannel.h"
#include "platform/LocalRequestServer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <future>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using pw::platform::LocalChannel;
using pw::platform::LocalRequestServer;

namespace {

QProcessEnvironment Env(const QString& runtime, const QString& temp)
{
    QProcessEnvironment env;
    if (!runtime.isNull())
        env.insert("XDG_RUNTIME_DIR", runtime);
    env.insert("TMPDIR", temp);
    return env;
}

int ModeOf(const QByteArray& path)
{
    struct stat st {};
    return ::lstat(path.constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

// Runs the event loop until done() holds (a generous bound for a busy machine).
template <class F> bool LoopUntil(F done)
{
    QDeadlineTimer deadline(30000);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    return done();
}

// The answer to request, asked from another thread while this one runs the loop.
std::optional<QByteArray> Ask(const QByteArray& path, const QByteArray& request)
{
    auto answer = std::async(std::launch::async, [&] {
        return LocalChannel::Exchange(LocalChannel::Reach(path), request, 20000);
    });
    LoopUntil([&] { return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
    return answer.get();
}

} // namespace

TEST(LocalChannel, SocketLivesInAPrivateRuntimeFolderElseInAPrivateTemporaryOne)
{
    QTemporaryDir dir;
    const QString runtime = dir.filePath("run");
    ASSERT_TRUE(QDir().mkpath(runtime));
    const QByteArray inRuntime = LocalChannel::SocketPath("/home/a/panelwick.ini", Env(runtime, dir.path()));
    EXPECT_TRUE(inRuntime.startsWith(QFile::encodeName(runtime) + "/panelwick/window-")) << inRuntime.data();
    EXPECT_EQ(ModeOf(QFile::encodeName(runtime) + "/panelwick"), 0700);
    // One socket per configuration file, the same every time.
    EXPECT_EQ(inRuntime, LocalChannel::SocketPath("/home/a/panelwick.ini", Env(runtime, dir.path())));
    EXPECT_NE(inRuntime, LocalChannel::SocketPath("/home/b/panelwick.ini", Env(runtime, dir.path())));

    // A runtime folder that is missing (logged in over ssh, a stale variable) or unset.
    const QByteArray fallback =
        QFile::encodeName(dir.path()) + "/panelwick-" + QByteArray::number(::getuid());
    for (const QString& missing : {dir.filePath("gone"), QString()}) {
        const QByteArray path = LocalChannel::SocketPath("/home/a/panelwick.ini", Env(missing, dir.path()));
        EXPECT_TRUE(path.startsWith(fallback + "/window-")) << path.data();
        EXPECT_EQ(ModeOf(fallback), 0700);
    }
    // A runtime folder so deep that no socket address can name a file in it.
    const QString deep = dir.filePath(QString(90, 'd'));
    ASSERT_TRUE(QDir().mkpath(deep));
    EXPECT_TRUE(LocalChannel::SocketPath("k", Env(deep, dir.path())).startsWith(fallback + "/"));
    // A folder of that name that others may enter is not used.
    const QString open = dir.filePath("open");
    ASSERT_TRUE(QDir().mkpath(open + "/panelwick-" + QString::number(::getuid())));
    ASSERT_EQ(
        ::chmod(QFile::encodeName(open + "/panelwick-" + QString::number(::getuid())).constData(), 0777), 0);
    EXPECT_TRUE(LocalChannel::SocketPath("k", Env(QString(), open)).isEmpty());
}

TEST(LocalChannel, SocketLeftByACrashedRunIsTakenOverAndTheNextStartReachesTheListener)
{
    QTemporaryDir dir;
    const QByteArray path = LocalChannel::SocketPath("crash", Env(dir.path(), dir.path()));
    // A run that crashed: its socket file stays, nobody listens.
    {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(::listen(fd, 1), 0);
        ::close(fd);
    }
    ASSERT_TRUE(QFile::exists(QFile::decodeName(path)));
    const LocalChannel::Claim first = LocalChannel::ClaimOrReach(path);
    ASSERT_GE(first.ListenFd, 0);
    EXPECT_LT(first.PeerFd, 0);
    const LocalChannel::Claim second = LocalChannel::ClaimOrReach(path);
    EXPECT_LT(second.ListenFd, 0);
    ASSERT_GE(second.PeerFd, 0);
    ::close(second.PeerFd);
    {
        LocalRequestServer server(first.ListenFd, path);
    }
    // The listener took its socket with it; the next run listens afresh.
    EXPECT_FALSE(QFile::exists(QFile::decodeName(path)));
    const LocalChannel::Claim third = LocalChannel::ClaimOrReach(path);
    EXPECT_GE(third.ListenFd, 0);
    ::close(third.ListenFd);

    // Something else at the socket's name is left alone, and nobody listens.
    QFile::remove(QFile::decodeName(path));
    QFile other(QFile::decodeName(path));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.close();
    const LocalChannel::Claim refused = LocalChannel::ClaimOrReach(path);
    EXPECT_LT(refused.ListenFd, 0);
    EXPECT_LT(refused.PeerFd, 0);
    EXPECT_TRUE(QFile::exists(QFile::decodeName(path)));
}

TEST(LocalChannel, StartsAtTheSameMomentLeaveExactlyOneListener)
{
    QTemporaryDir dir;
    for (int round = 0; round < 20; ++round) {
        const QByteArray path =
            LocalChannel::SocketPath(QString("race %1").arg(round), Env(dir.path(), dir.path()));
        constexpr int kStarts = 4;
        std::atomic<int> ready{0};
        std::vector<std::future<LocalChannel::Claim>> claims;
        for (int i = 0; i < kStarts; ++i)
            claims.push_back(std::async(std::launch::async, [&] {
                ++ready;
                while (ready < kStarts)
                    std::this_thread::yield();
                return LocalChannel::ClaimOrReach(path);
            }));
        // Every socket stays open until all have claimed: a listener that went would be
        // replaced, rightly.
        std::vector<LocalChannel::Claim> results;
        for (auto& c : claims)
            results.push_back(c.get());
        int listening = 0, reached = 0;
        for (const LocalChannel::Claim& claim : results) {
            listening += claim.ListenFd >= 0;
            reached += claim.PeerFd >= 0;
            for (int fd : {claim.ListenFd, claim.PeerFd})
                if (fd >= 0)
                    ::close(fd);
        }
        EXPECT_EQ(listening, 1) << "round " << round;
        EXPECT_EQ(reached, kStarts - 1) << "round " << round;
    }
}

TEST(LocalChannel, EachRequestGetsItsAnswerAndPeersThatSendTooMuchAreDropped)
{
    QTemporaryDir dir;
    const QByteArray path = LocalChannel::SocketPath("requests", Env(dir.path(), dir.path()));
    const LocalChannel::Claim claim = LocalChannel::ClaimOrReach(path);
    ASSERT_GE(claim.ListenFd, 0);
    LocalRequestServer server(claim.ListenFd, path);
    QByteArrayList seen;
    server.OnRequest = [&](const QByteArray& request) {
        seen << request;
        if (request == "boom")
            throw std::runtime_error("a handler that fails");
        return "answer to " + request;
    };
    EXPECT_EQ(Ask(path, "one"), QByteArray("answer to one"));
    EXPECT_EQ(Ask(path, QByteArray("\0\xff garbage", 10)),
              QByteArray("answer to ") + QByteArray("\0\xff garbage", 10));
    // A request over the limit never reaches the handler: the connection is closed unanswered.
    EXPECT_EQ(Ask(path, QByteArray(LocalChannel::kMaxMessage + 1, 'x')), QByteArray());
    // A handler that throws leaves the peer an empty answer and the server running.
    EXPECT_EQ(Ask(path, "boom"), QByteArray());
    EXPECT_EQ(Ask(path, "two"), QByteArray("answer to two"));
    EXPECT_EQ(seen, QByteArrayList({"one", QByteArray("\0\xff garbage", 10), "boom", "two"}));
}
