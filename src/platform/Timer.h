#pragma once

#include <QObject>
#include <functional>

namespace pw::platform {

// A window timer: fires every Interval ms while enabled. Changing Enabled or Interval,
// or enabling it again, restarts the count. The handler runs behind the exception guard.
class Timer : public QObject {
    Q_OBJECT
public:
    explicit Timer(QObject* parent = nullptr);

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    int Interval() const { return interval_; }
    void SetInterval(int ms);

    std::function<void()> OnTimer;

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    void Restart();
    void Arm(qint64 ms, qint64 now);
    void Disarm();

    bool enabled_ = false;
    int interval_ = 1000;
    int timerId_ = 0;
    qint64 due_ = 0;        // when the handler runs next (monotonic ms)
    qint64 armedUntil_ = 0; // when the running system timer ends
};

} // namespace pw::platform
