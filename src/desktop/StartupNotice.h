#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <optional>

namespace pw::desktop {

// The startup-notification id a launcher hands a program it starts (DESKTOP_STARTUP_ID):
// the time of the user's click that it carries, and the "remove" message that ends the
// launcher's busy feedback. Pure: the window system part is WindowActivation.
class StartupNotice {
public:
    // The X server time after "_TIME" in the id; nullopt when it carries none.
    static std::optional<quint32> ClickTime(const QByteArray& startupId);
    // "remove: ID=<id>" with the id quoted as the protocol asks, NUL-ended, cut into the
    // 20-byte pieces of the client messages that carry it (the last one padded with NULs).
    static QByteArrayList RemoveMessagePieces(const QByteArray& startupId);
};

} // namespace pw::desktop
