#include "desktop/StatusNotifierWatch.h"

#include "platform/ExceptionGuard.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>

namespace pw::desktop {

namespace {

const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");
// A panel that does not answer at start is taken as none.
constexpr int kStartTimeoutMs = 2000;

QDBusMessage HostQuestion()
{
    QDBusMessage get = QDBusMessage::createMethodCall(
        kWatcher, kWatcherPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << kWatcher << QStringLiteral("IsStatusNotifierHostRegistered");
    return get;
}

bool Answer(const QDBusMessage& reply)
{
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return false;
    return reply.arguments().constFirst().value<QDBusVariant>().variant().toBool();
}

} // namespace

StatusNotifierWatch::StatusNotifierWatch(QObject* parent) : QObject(parent)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return; // no session bus: no such panel either
    service_ = new QDBusServiceWatcher(kWatcher, bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(service_, &QDBusServiceWatcher::serviceOwnerChanged, this, &StatusNotifierWatch::Refresh);
    for (const char* signal : {"StatusNotifierHostRegistered", "StatusNotifierHostUnregistered"})
        bus.connect(kWatcher, kWatcherPath, kWatcher, QString::fromLatin1(signal), this, SLOT(Refresh()));
    if (bus.interface()->isServiceRegistered(kWatcher))
        hostRegistered_ = Answer(bus.call(HostQuestion(), QDBus::Block, kStartTimeoutMs));
}

void StatusNotifierWatch::Refresh()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    auto* pending = new QDBusPendingCallWatcher(bus.asyncCall(HostQuestion()), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        Take(Answer(call->reply()));
    });
}

void StatusNotifierWatch::Take(bool hostRegistered)
{
    hostRegistered_ = hostRegistered;
    // Told even when nothing changed: a new watcher knows none of the earlier items.
    if (OnChanged)
        platform::Guarded(OnChanged);
}

} // namespace pw::desktop
