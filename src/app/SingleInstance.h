#pragma once

#include "app/InstanceRequest.h"
#include "app/StartupOptions.h"

#include <QByteArray>
#include <optional>

namespace pw::app {

// One window per user and configuration: the first window listens on a local socket,
// a later start hands its request to it and ends. Decided before any application object
// exists, so that a second start costs neither a display connection nor a window.
class SingleInstance {
public:
    // The window's socket for this configuration; empty when no private folder is found.
    static QByteArray SocketPath(const platform::TProgramPaths& paths);

    // Either this process is to run the window (ListenFd: its listening socket, or -1
    // when no socket could be made and the window runs alone), or a running window took
    // the request and ExitCode says how this process ends.
    struct TClaim {
        int ListenFd = -1;
        QByteArray SocketPath;
        std::optional<int> ExitCode;
    };
    static TClaim ClaimWindow(const TStartupOptions& options);
    // Gives up a claim whose window cannot run after all, so that the next start need not
    // wait for it.
    static void Release(const TClaim& claim);

    // Tells a running window of a change this process made to the shared files; does
    // nothing when none runs, and never waits.
    static void Tell(const platform::TProgramPaths& paths, const TInstanceRequest& request);
    // The same at a socket path found before with SocketPath (a run that tells often).
    static void Tell(const QByteArray& socketPath, const TInstanceRequest& request);

    // How long a second start waits for the running window's answer.
    static constexpr int kAnswerTimeoutMs = 10000;
    // How often a start tries again while a closing window lets go of its socket.
    static constexpr int kClosingAttempts = 40;
};

} // namespace pw::app
