#include "platform/TimerTurn.h"

#include "platform/ExceptionGuard.h"

#include <QTimer>

namespace pw::platform {

void RunOnTimerTurn(QObject* context, std::function<void()> f)
{
    auto* timer = new QTimer(context);
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, context, [timer, f = std::move(f)] {
        timer->deleteLater();
        Guarded(f);
    });
    timer->start(0);
}

} // namespace pw::platform
