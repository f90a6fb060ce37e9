#include "app/SingleInstance.h"

#include "platform/LocalChannel.h"
#include "platform/ProgramPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <time.h>
#include <unistd.h>

namespace pw::app {

namespace {

void Complain(const char* text)
{
    std::fprintf(stderr, "panelwick: %s\n", text);
}

} // namespace

QByteArray SingleInstance::SocketPath(const platform::TProgramPaths& paths)
{
    // The configuration file says which files a window works on: one window per file.
    const QFileInfo folder(QFileInfo(paths.IniPath).absolutePath());
    const QString canonical = folder.canonicalFilePath();
    const QString key = (canonical.isEmpty() ? QDir::cleanPath(folder.absoluteFilePath()) : canonical) +
                        QLatin1Char('/') + QFileInfo(paths.IniPath).fileName();
    return platform::LocalChannel::SocketPath(key);
}

SingleInstance::TClaim SingleInstance::ClaimWindow(const TStartupOptions& given)
{
    TStartupOptions options = given;
    options.DecidePaths(platform::TProgramPaths::RunningExecutable());
    TClaim claim;
    claim.SocketPath = SocketPath(options.Paths);
    TInstanceRequest request;
    request.Address = options.OpenAddress;
    request.FeedFile = options.OpenFeedFile;
    // Whatever lets the running window take the focus from the one that started us.
    request.ActivationToken = qgetenv("XDG_ACTIVATION_TOKEN");
    request.StartupId = qgetenv("DESKTOP_STARTUP_ID");
    // A window that is just closing lets go of its socket without answering: then this
    // start is the window, a moment later.
    for (int attempt = 0; attempt < kClosingAttempts; ++attempt) {
        if (attempt > 0) {
            const timespec pause{0, 50'000'000};
            ::nanosleep(&pause, nullptr);
        }
        const platform::LocalChannel::Claim found = platform::LocalChannel::ClaimOrReach(claim.SocketPath);
        if (found.ListenFd >= 0 || (found.PeerFd < 0 && !found.PeerBusy)) {
            claim.ListenFd = found.ListenFd;
            return claim;
        }
        if (found.PeerFd < 0)
            break; // alive but taking no connections
        const std::optional<QByteArray> answer =
            platform::LocalChannel::Exchange(found.PeerFd, request.Encode(), kAnswerTimeoutMs);
        if (answer == TInstanceRequest::Done()) {
            claim.ExitCode = 0;
            return claim;
        }
        if (!answer)
            break;
        if (!answer->isEmpty()) {
            Complain("the running Panelwick refused the request.");
            claim.ExitCode = 1;
            return claim;
        }
    }
    Complain("Panelwick is already running but does not answer.");
    claim.ExitCode = 1;
    return claim;
}

void SingleInstance::Release(const TClaim& claim)
{
    if (claim.ListenFd < 0)
        return;
    // Still listening, so the file is this run's own: nobody replaces a socket that answers.
    if (!claim.SocketPath.isEmpty())
        ::unlink(claim.SocketPath.constData());
    ::close(claim.ListenFd);
}

void SingleInstance::Tell(const platform::TProgramPaths& paths, const TInstanceRequest& request)
{
    Tell(SocketPath(paths), request);
}

void SingleInstance::Tell(const QByteArray& socketPath, const TInstanceRequest& request)
{
    const int fd = platform::LocalChannel::Reach(socketPath);
    if (fd >= 0)
        platform::LocalChannel::Tell(fd, request.Encode());
}

} // namespace pw::app
