#include "desktop/DBusMenuExporter.h"

#include "platform/ExceptionGuard.h"

#include <QAction>
#include <QActionGroup>
#include <QDBusError>
#include <QEvent>
#include <QGuiApplication>
#include <QMenu>

namespace pw::desktop {

namespace {

// A panel shows mnemonics with "_" and a plain "_" doubled; Qt marks them with "&".
QString Label(const QString& text)
{
    QString label;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('&')) {
            if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('&')) {
                label += QLatin1Char('&');
                ++i;
            } else {
                label += QLatin1Char('_');
            }
        } else if (c == QLatin1Char('_')) {
            label += QLatin1String("__");
        } else {
            label += c;
        }
    }
    return label;
}

// What the protocol says an entry without the property has. A value that cannot be sent
// (an empty QVariant) would leave the caller waiting for an answer that never comes.
QVariant DefaultProperty(const QString& name)
{
    static const QVariantMap defaults{
        {QStringLiteral("type"), QStringLiteral("standard")},
        {QStringLiteral("label"), QString()},
        {QStringLiteral("enabled"), true},
        {QStringLiteral("visible"), true},
        {QStringLiteral("icon-name"), QString()},
        {QStringLiteral("icon-data"), QByteArray()},
        {QStringLiteral("toggle-type"), QString()},
        {QStringLiteral("toggle-state"), -1},
        {QStringLiteral("children-display"), QString()},
        {QStringLiteral("disposition"), QStringLiteral("normal")},
        {QStringLiteral("accessible-desc"), QString()},
    };
    return defaults.value(name);
}

} // namespace

DBusMenuExporter::DBusMenuExporter(QObject* parent) : QObject(parent) {}

void DBusMenuExporter::SetMenu(QMenu* menu)
{
    menu_ = menu;
    if (menu)
        Watch(menu);
    emit LayoutUpdated(++revision_, 0);
}

QString DBusMenuExporter::TextDirection() const
{
    return QGuiApplication::layoutDirection() == Qt::RightToLeft ? QStringLiteral("rtl")
                                                                 : QStringLiteral("ltr");
}

void DBusMenuExporter::Watch(QMenu* menu)
{
    menu->installEventFilter(this);
}

bool DBusMenuExporter::eventFilter(QObject* watched, QEvent* event)
{
    // The panel keeps its own copy of the entries: tell it when they change.
    switch (event->type()) {
    case QEvent::ActionAdded:
    case QEvent::ActionRemoved:
    case QEvent::ActionChanged:
        emit LayoutUpdated(++revision_, 0);
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

int DBusMenuExporter::IdOf(QAction* action)
{
    auto found = ids_.constFind(action);
    if (found != ids_.constEnd())
        return *found;
    const int id = nextId_++;
    ids_.insert(action, id);
    actions_.insert(id, action);
    connect(action, &QObject::destroyed, this, [this, action, id] {
        ids_.remove(action);
        actions_.remove(id);
    });
    if (QMenu* below = action->menu())
        Watch(below);
    return id;
}

QAction* DBusMenuExporter::ActionOf(int id) const
{
    return actions_.value(id).data();
}

bool DBusMenuExporter::Exists(int id) const
{
    return id == 0 || ActionOf(id) != nullptr;
}

void DBusMenuExporter::Refuse(const QString& why)
{
    if (calledFromDBus())
        sendErrorReply(QDBusError::InvalidArgs, why);
}

QMenu* DBusMenuExporter::MenuOf(int id) const
{
    if (id == 0)
        return menu_.data();
    QAction* action = ActionOf(id);
    return action ? action->menu() : nullptr;
}

QVariantMap DBusMenuExporter::Properties(int id, const QStringList& names) const
{
    QVariantMap all;
    if (id == 0) {
        all.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
    } else if (QAction* action = ActionOf(id)) {
        if (action->isSeparator()) {
            all.insert(QStringLiteral("type"), QStringLiteral("separator"));
        } else {
            all.insert(QStringLiteral("label"), Label(action->text()));
            if (action->menu())
                all.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
            if (action->isCheckable()) {
                all.insert(QStringLiteral("toggle-type"),
                           action->actionGroup() && action->actionGroup()->isExclusive()
                               ? QStringLiteral("radio")
                               : QStringLiteral("checkmark"));
                all.insert(QStringLiteral("toggle-state"), action->isChecked() ? 1 : 0);
            }
        }
        all.insert(QStringLiteral("enabled"), action->isEnabled());
        all.insert(QStringLiteral("visible"), action->isVisible());
    }
    if (names.isEmpty())
        return all;
    QVariantMap asked;
    for (const QString& name : names) {
        if (all.contains(name))
            asked.insert(name, all.value(name));
    }
    return asked;
}

MenuLayoutItem DBusMenuExporter::Layout(int id, int depth, const QStringList& names)
{
    MenuLayoutItem item{id, Properties(id, names), {}};
    QMenu* below = MenuOf(id);
    if (!below || depth == 0)
        return item;
    for (QAction* action : below->actions())
        item.children << Layout(IdOf(action), depth < 0 ? -1 : depth - 1, names);
    return item;
}

uint DBusMenuExporter::GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                                 MenuLayoutItem& layout)
{
    if (!Exists(parentId)) {
        Refuse(QStringLiteral("No menu entry %1").arg(parentId));
        layout = MenuLayoutItem{parentId, {}, {}};
        return revision_;
    }
    layout = Layout(parentId, recursionDepth, propertyNames);
    return revision_;
}

MenuItemPropertiesList DBusMenuExporter::GetGroupProperties(const QList<int>& ids,
                                                            const QStringList& propertyNames)
{
    MenuItemPropertiesList found;
    for (int id : ids) {
        if (id == 0 || ActionOf(id))
            found << MenuItemProperties{id, Properties(id, propertyNames)};
    }
    return found;
}

QDBusVariant DBusMenuExporter::GetProperty(int id, const QString& name)
{
    if (!Exists(id)) {
        Refuse(QStringLiteral("No menu entry %1").arg(id));
        return QDBusVariant(QString());
    }
    QVariant value = Properties(id, {name}).value(name);
    if (!value.isValid())
        value = DefaultProperty(name);
    if (!value.isValid()) {
        Refuse(QStringLiteral("Menu entries have no property \"%1\"").arg(name));
        return QDBusVariant(QString());
    }
    return QDBusVariant(value);
}

void DBusMenuExporter::Event(int id, const QString& eventId, const QDBusVariant& /*data*/, uint /*timestamp*/)
{
    if (eventId != QLatin1String("clicked"))
        return;
    QPointer<QAction> action = ActionOf(id);
    if (!action || action->isSeparator() || !action->isEnabled() || action->menu())
        return;
    // After the reply: the entry may end the program.
    QMetaObject::invokeMethod(
        this,
        [action] {
            if (action)
                platform::Guarded([&] { action->trigger(); });
        },
        Qt::QueuedConnection);
}

QList<int> DBusMenuExporter::EventGroup(const MenuEventList& events)
{
    QList<int> unknown;
    for (const MenuEvent& event : events) {
        if (event.id != 0 && !ActionOf(event.id))
            unknown << event.id;
        else
            Event(event.id, event.eventId, event.data, event.timestamp);
    }
    return unknown;
}

bool DBusMenuExporter::AboutToShow(int /*id*/)
{
    return false; // the entries are always up to date
}

QList<int> DBusMenuExporter::AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors)
{
    idErrors.clear();
    for (int id : ids) {
        if (id != 0 && !ActionOf(id))
            idErrors << id;
    }
    return {};
}

} // namespace pw::desktop
