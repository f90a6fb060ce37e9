#include "GuardedCoreApplication.h"

#include "ExceptionGuard.h"

namespace pw::platform {

bool GuardedCoreApplication::notify(QObject* receiver, QEvent* event)
{
    bool result = false;
    Guarded([&] { result = QCoreApplication::notify(receiver, event); });
    return result;
}

} // namespace pw::platform
