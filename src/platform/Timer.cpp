#include "Timer.h"

#include "ExceptionGuard.h"

#include <QTimer>

namespace pw::platform {

Timer::Timer(QObject* parent) : QObject(parent), timer_(new QTimer(this))
{
    timer_->setTimerType(Qt::PreciseTimer);
    connect(timer_, &QTimer::timeout, this, [this] {
        Guarded([this] {
            if (OnTimer)
                OnTimer();
        });
    });
}

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
    timer_->stop();
    if (enabled_ && interval_ > 0)
        timer_->start(interval_);
}

} // namespace pw::platform
