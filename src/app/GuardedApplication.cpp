#include "app/GuardedApplication.h"

#include "platform/ExceptionGuard.h"

namespace pw::app {

bool GuardedApplication::notify(QObject* receiver, QEvent* event)
{
    bool result = false;
    platform::Guarded([&] { result = QApplication::notify(receiver, event); });
    return result;
}

} // namespace pw::app
