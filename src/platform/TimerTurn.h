#pragma once

#include <QObject>
#include <functional>

namespace pw::platform {

// Runs f from a timer turn of the event loop, guarded, while context lives. For work that
// may open a modal box: a box opened from a posted event's handler while another such box
// is open holds up every event posted after it (the update's own messages included) until
// it closes; one opened from a timer does not. QTimer::singleShot(0) posts an event.
void RunOnTimerTurn(QObject* context, std::function<void()> f);

} // namespace pw::platform
