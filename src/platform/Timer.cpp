#include "Timer.h"

#include "ExceptionGuard.h"

#include <QTimerEvent>
#include <chrono>

namespace pw::platform {

namespace {

qint64 NowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

Timer::Timer(QObject* parent) : QObject(parent) {}

void Timer::SetEnabled(bool enabled)
{
    enabled_ = enabled;
    Restart();
}

void Timer::SetInterval(int ms)
{
    interval_ = ms;
    Restart();
}

void Timer::Restart()
{
    if (!enabled_ || interval_ <= 0) {
        Disarm();
        return;
    }
    const qint64 now = NowMs();
    due_ = now + interval_;
    // A count restarted many times a second (a time-out restarted by every piece of
    // data) only moves the due time; the running system timer, ending earlier, re-arms
    // for the rest when it fires.
    if (timerId_ == 0 || armedUntil_ > due_)
        Arm(interval_, now);
}

void Timer::Arm(qint64 ms, qint64 now)
{
    Disarm();
    timerId_ = startTimer(std::chrono::milliseconds(ms), Qt::PreciseTimer);
    armedUntil_ = now + ms;
}

void Timer::Disarm()
{
    if (timerId_ != 0)
        killTimer(timerId_);
    timerId_ = 0;
}

void Timer::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != timerId_) {
        QObject::timerEvent(event);
        return;
    }
    const qint64 now = NowMs();
    if (now < due_) {
        Arm(due_ - now, now);
        return;
    }
    due_ = now + interval_;
    Arm(interval_, now);
    Guarded([this] {
        if (OnTimer)
            OnTimer();
    });
}

} // namespace pw::platform
