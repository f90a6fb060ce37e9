#include "platform/TerminationSignal.h"

#include "platform/ExceptionGuard.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace pw::platform {

namespace {

// A signal handler may only write: the byte wakes the event loop, which does the rest.
volatile std::sig_atomic_t wakeFd = -1;

extern "C" void OnSigterm(int)
{
    const int saved = errno;
    const char byte = 1;
    if (wakeFd >= 0)
        (void)::write(wakeFd, &byte, 1);
    errno = saved;
}

} // namespace

TerminationSignal::TerminationSignal(QObject* parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds_) != 0) {
        fds_[0] = fds_[1] = -1;
        return; // the signal keeps its default action
    }
    notifier_ = std::make_unique<QSocketNotifier>(fds_[1], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { Received(); });
    wakeFd = fds_[0];
    struct sigaction action = {};
    action.sa_handler = OnSigterm;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
}

TerminationSignal::~TerminationSignal()
{
    if (fds_[0] < 0)
        return;
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGTERM, &action, nullptr);
    wakeFd = -1;
    notifier_.reset();
    ::close(fds_[0]);
    ::close(fds_[1]);
}

void TerminationSignal::Received()
{
    char bytes[16];
    while (::read(fds_[1], bytes, sizeof bytes) > 0) {
        // several signals before the loop woke up ask for one ending
    }
    if (OnTerminate)
        Guarded([this] { OnTerminate(); });
}

} // namespace pw::platform
