#include "desktop/WindowActivation.h"

#include "desktop/StartupNotice.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace pw::desktop {

namespace {

xcb_atom_t Atom(xcb_connection_t* c, const char* name)
{
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return atom;
}

xcb_window_t RootOf(xcb_connection_t* c)
{
    return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
}

void SendToRoot(xcb_connection_t* c, const xcb_client_message_event_t& event, uint32_t mask)
{
    xcb_send_event(c, 0, RootOf(c), mask, reinterpret_cast<const char*>(&event));
}

// The startup-notification "remove" message: the launcher stops its busy cursor.
void EndStartup(xcb_connection_t* c, xcb_window_t from, const QByteArray& startupId)
{
    const xcb_atom_t begin = Atom(c, "_NET_STARTUP_INFO_BEGIN");
    const xcb_atom_t more = Atom(c, "_NET_STARTUP_INFO");
    bool first = true;
    for (const QByteArray& piece : StartupNotice::RemoveMessagePieces(startupId)) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 8;
        event.window = from;
        event.type = first ? begin : more;
        std::memcpy(event.data.data8, piece.constData(), 20);
        SendToRoot(c, event, XCB_EVENT_MASK_PROPERTY_CHANGE);
        first = false;
    }
}

// _NET_ACTIVE_WINDOW from an application, dated by the user's click.
void RequestActive(xcb_connection_t* c, xcb_window_t window, quint32 time)
{
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = Atom(c, "_NET_ACTIVE_WINDOW");
    event.data.data32[0] = 1; // source: an application
    event.data.data32[1] = time;
    event.data.data32[2] = XCB_NONE;
    SendToRoot(c, event, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT);
}

} // namespace

void WindowActivation::Activate(QWidget& window, const QByteArray& startupId,
                                const QByteArray& activationToken)
{
    // Qt's Wayland window takes the token from here when it asks to be activated.
    if (!activationToken.isEmpty())
        qputenv("XDG_ACTIVATION_TOKEN", activationToken);
    window.raise();
    window.activateWindow();
    // Elsewhere nothing takes it, and programs this one starts must not inherit it.
    if (QGuiApplication::platformName() != QLatin1String("wayland"))
        qunsetenv("XDG_ACTIVATION_TOKEN");
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || startupId.isEmpty() || !window.windowHandle())
        return;
    xcb_connection_t* c = x11->connection();
    const auto id = static_cast<xcb_window_t>(window.winId());
    // Qt dates its request by the last event it saw, which may be long before the click
    // that asked for the window; the click's own time lets a careful window manager agree.
    if (const std::optional<quint32> time = StartupNotice::ClickTime(startupId))
        RequestActive(c, id, *time);
    EndStartup(c, id, startupId);
    xcb_flush(c);
}

} // namespace pw::desktop
