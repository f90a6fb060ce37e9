#include "desktop/StatusNotifierItem.h"

#include "desktop/DBusMenuExporter.h"
#include "platform/ExceptionGuard.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

namespace pw::desktop {

namespace {

const QString kItemPath = QStringLiteral("/StatusNotifierItem");
const QString kMenuPath = QStringLiteral("/MenuBar");
const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");

void RunGuarded(const std::function<void()>& handler)
{
    if (handler)
        platform::Guarded(handler);
}

} // namespace

StatusNotifierItem::StatusNotifierItem(const QString& title, QObject* parent)
    : QObject(parent), title_(title), menu_(new DBusMenuExporter(this))
{
    RegisterStatusNotifierTypes();
}

StatusNotifierItem::~StatusNotifierItem()
{
    Hide();
    if (exported_) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.unregisterObject(kItemPath);
        bus.unregisterObject(kMenuPath);
    }
}

void StatusNotifierItem::SetIcon(const QIcon& icon)
{
    // Set again with every change of the hint: only a new picture is news to the panel.
    if (icon.cacheKey() == icon_.cacheKey())
        return;
    icon_ = icon;
    emit NewIcon();
}

void StatusNotifierItem::SetToolTip(const QString& tip)
{
    if (tip == tip_)
        return;
    tip_ = tip;
    emit NewToolTip();
}

void StatusNotifierItem::SetMenu(QMenu* menu)
{
    hasMenu_ = menu != nullptr;
    menu_->SetMenu(menu);
}

QDBusObjectPath StatusNotifierItem::Menu() const
{
    // Without a menu the panel asks for one with ContextMenu.
    return QDBusObjectPath(hasMenu_ ? kMenuPath : QStringLiteral("/NO_DBUSMENU"));
}

bool StatusNotifierItem::Export()
{
    if (exported_)
        return true;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    const auto everything = QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                            QDBusConnection::ExportAllProperties;
    exported_ =
        bus.registerObject(kItemPath, this, everything) && bus.registerObject(kMenuPath, menu_, everything);
    return exported_;
}

void StatusNotifierItem::Show()
{
    if (!Export())
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (service_.isEmpty()) {
        // Qt's own tray icon numbers its names from 1, and may release that name.
        static int count = 100;
        const QString name = QStringLiteral("org.kde.StatusNotifierItem-%1-%2")
                                 .arg(QCoreApplication::applicationPid())
                                 .arg(++count);
        if (!bus.registerService(name))
            return;
        service_ = name;
    }
    // Not waited for: a panel that does not answer must not hold up the window.
    QDBusMessage call =
        QDBusMessage::createMethodCall(kWatcher, QStringLiteral("/StatusNotifierWatcher"), kWatcher,
                                       QStringLiteral("RegisterStatusNotifierItem"));
    call << service_;
    bus.asyncCall(call);
}

void StatusNotifierItem::Hide()
{
    if (service_.isEmpty())
        return;
    // The watcher sees the name go and takes the icon off the panel.
    QDBusConnection::sessionBus().unregisterService(service_);
    service_.clear();
}

void StatusNotifierItem::Activate(int /*x*/, int /*y*/)
{
    RunGuarded(OnActivate);
}

void StatusNotifierItem::SecondaryActivate(int /*x*/, int /*y*/)
{
    RunGuarded(OnSecondaryActivate);
}

void StatusNotifierItem::ContextMenu(int /*x*/, int /*y*/)
{
    RunGuarded(OnContextMenu);
}

void StatusNotifierItem::Scroll(int /*delta*/, const QString& /*orientation*/) {}

} // namespace pw::desktop
