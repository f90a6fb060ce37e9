#include "platform/DesktopNotifications.h"

#include "platform/ExceptionGuard.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QGuiApplication>
#include <QVariantMap>

namespace pw::platform {

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
constexpr int kAnswerMs = 5000; // a service that has not answered by then is taken as absent
} // namespace

DesktopNotifications::DesktopNotifications(QObject* parent) : QObject(parent) {}

void DesktopNotifications::Listen()
{
    // Connected on first use only: a run that never notifies never touches the bus.
    if (listening_)
        return;
    listening_ = true;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                SLOT(ActionInvoked(uint, QString)));
}

void DesktopNotifications::Notify(const QString& summary, const QString& body, std::function<void()> clicked,
                                  std::function<void()> failed)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        QMetaObject::invokeMethod(
            this, [failed] { Guarded([&] { failed(); }); }, Qt::QueuedConnection);
        return;
    }
    Listen();
    // The body is markup exactly when the service says it reads markup; the names in it
    // come from the catalogue and must read as text either way.
    const QDBusMessage ask =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("GetCapabilities"));
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(ask, kAnswerMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, summary, body, clicked = std::move(clicked),
             failed = std::move(failed)](QDBusPendingCallWatcher* w) mutable {
                w->deleteLater();
                Guarded([&] {
                    const QDBusPendingReply<QStringList> reply = *w;
                    if (reply.isError()) {
                        failed();
                        return;
                    }
                    const bool markup = reply.value().contains(QStringLiteral("body-markup"));
                    Send(summary, markup ? body.toHtmlEscaped() : body, std::move(clicked),
                         std::move(failed));
                });
            });
}

void DesktopNotifications::Send(const QString& summary, const QString& body, std::function<void()> clicked,
                                std::function<void()> failed)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    // The desktop entry names the program and its icon.
    const QString entry = QGuiApplication::desktopFileName();
    QVariantMap hints;
    if (!entry.isEmpty())
        hints.insert(QStringLiteral("desktop-entry"), entry);
    // "default" is the click on the notification itself.
    call << QStringLiteral("Panelwick") << uint(0) << entry << summary << body
         << QStringList{QStringLiteral("default"), QStringLiteral("Show")} << hints << int(-1);
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kAnswerMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, clicked = std::move(clicked), failed = std::move(failed)](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                Guarded([&] {
                    const QDBusPendingReply<uint> reply = *w;
                    if (reply.isError()) {
                        failed();
                        return;
                    }
                    shownId_ = reply.value();
                    clicked_ = clicked;
                });
            });
}

void DesktopNotifications::ActionInvoked(uint id, const QString& actionKey)
{
    if (id == 0 || id != shownId_ || actionKey != QLatin1String("default"))
        return;
    shownId_ = 0;
    const std::function<void()> clicked = std::move(clicked_);
    clicked_ = nullptr;
    if (clicked)
        Guarded([&] { clicked(); });
}

} // namespace pw::platform
