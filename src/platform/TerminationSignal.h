#pragma once

#include <QObject>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace pw::platform {

// SIGTERM, the way a session (or a service manager) asks a program to end, turned into an
// event of the event loop: OnTerminate runs there, where the program can end in order.
// One instance at a time; while it lives the signal no longer ends the process by itself.
class TerminationSignal : public QObject {
public:
    explicit TerminationSignal(QObject* parent = nullptr);
    ~TerminationSignal() override;

    std::function<void()> OnTerminate;

private:
    void Received();

    int fds_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace pw::platform
