#pragma once

#include <QByteArray>

class QWidget;

namespace pw::desktop {

// Brings a window forward for a start of the program that asked for it. Window managers
// that guard against focus stealing judge the request by its time: the click that started
// the asking process (its startup-notification id) vouches for it on X11, its activation
// token on Wayland. The launcher's busy feedback for that start ends here too.
class WindowActivation {
public:
    static void Activate(QWidget& window, const QByteArray& startupId, const QByteArray& activationToken);
};

} // namespace pw::desktop
