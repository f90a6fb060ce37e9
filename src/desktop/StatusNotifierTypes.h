#pragma once

#include <QByteArray>
#include <QDBusArgument>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariantMap>

class QIcon;

namespace pw::desktop {

// The D-Bus shapes of a StatusNotifierItem and of the menu it exports (dbusmenu).

// One picture of an icon: width, height and ARGB32 pixels in network byte order.
struct SniPixmap {
    int width = 0;
    int height = 0;
    QByteArray argb;
};
using SniPixmapList = QList<SniPixmap>;

// The tool tip: icon name, icon pictures, title and text.
struct SniToolTip {
    QString iconName;
    SniPixmapList pixmaps;
    QString title;
    QString text;
};

// One menu entry with its entries below it, as the menu's layout is sent.
struct MenuLayoutItem {
    int id = 0;
    QVariantMap properties;
    QList<MenuLayoutItem> children;
};

// One menu entry's properties, as they are asked for in a group.
struct MenuItemProperties {
    int id = 0;
    QVariantMap properties;
};
using MenuItemPropertiesList = QList<MenuItemProperties>;

// One event of a group: entry, event name, data and time.
struct MenuEvent {
    int id = 0;
    QString eventId;
    QDBusVariant data;
    unsigned timestamp = 0;
};
using MenuEventList = QList<MenuEvent>;

// The pictures a panel may pick from, one for each size the icon has.
SniPixmapList SniPixmaps(const QIcon& icon);

// Makes the shapes known to Qt D-Bus; needed once before any is sent.
void RegisterStatusNotifierTypes();

QDBusArgument& operator<<(QDBusArgument& arg, const SniPixmap& pixmap);
const QDBusArgument& operator>>(const QDBusArgument& arg, SniPixmap& pixmap);
QDBusArgument& operator<<(QDBusArgument& arg, const SniToolTip& tip);
const QDBusArgument& operator>>(const QDBusArgument& arg, SniToolTip& tip);
QDBusArgument& operator<<(QDBusArgument& arg, const MenuLayoutItem& item);
const QDBusArgument& operator>>(const QDBusArgument& arg, MenuLayoutItem& item);
QDBusArgument& operator<<(QDBusArgument& arg, const MenuItemProperties& item);
const QDBusArgument& operator>>(const QDBusArgument& arg, MenuItemProperties& item);
QDBusArgument& operator<<(QDBusArgument& arg, const MenuEvent& event);
const QDBusArgument& operator>>(const QDBusArgument& arg, MenuEvent& event);

} // namespace pw::desktop

Q_DECLARE_METATYPE(pw::desktop::SniPixmap)
Q_DECLARE_METATYPE(pw::desktop::SniPixmapList)
Q_DECLARE_METATYPE(pw::desktop::SniToolTip)
Q_DECLARE_METATYPE(pw::desktop::MenuLayoutItem)
Q_DECLARE_METATYPE(pw::desktop::MenuItemProperties)
Q_DECLARE_METATYPE(pw::desktop::MenuItemPropertiesList)
Q_DECLARE_METATYPE(pw::desktop::MenuEvent)
Q_DECLARE_METATYPE(pw::desktop::MenuEventList)
