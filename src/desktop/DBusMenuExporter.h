#pragma once

#include "desktop/StatusNotifierTypes.h"

#include <QDBusContext>
#include <QDBusVariant>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>

class QAction;
class QMenu;

namespace pw::desktop {

// A menu as the dbusmenu protocol shows it to a panel: the panel draws the entries itself
// and sends back the one chosen, which is then triggered from the event loop. Every call
// gets an answer: a value, the protocol's default for a property an entry lacks, or an
// error for an entry or property that does not exist.
class DBusMenuExporter : public QObject, public QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ Version)
    Q_PROPERTY(QString TextDirection READ TextDirection)
    Q_PROPERTY(QString Status READ Status)
    Q_PROPERTY(QStringList IconThemePath READ IconThemePath)
public:
    explicit DBusMenuExporter(QObject* parent = nullptr);

    void SetMenu(QMenu* menu);

    uint Version() const { return 3; }
    QString TextDirection() const;
    QString Status() const { return QStringLiteral("normal"); }
    QStringList IconThemePath() const { return {}; }

public slots:
    uint GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                   pw::desktop::MenuLayoutItem& layout);
    pw::desktop::MenuItemPropertiesList GetGroupProperties(const QList<int>& ids,
                                                           const QStringList& propertyNames);
    QDBusVariant GetProperty(int id, const QString& name);
    void Event(int id, const QString& eventId, const QDBusVariant& data, uint timestamp);
    QList<int> EventGroup(const pw::desktop::MenuEventList& events);
    bool AboutToShow(int id);
    QList<int> AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors);

signals:
    void LayoutUpdated(uint revision, int parent);
    void ItemActivationRequested(int id, uint timestamp);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int IdOf(QAction* action);
    QAction* ActionOf(int id) const;
    bool Exists(int id) const; // the root (0) or an entry handed out and still alive
    // Answers the running D-Bus call with an "invalid arguments" error.
    void Refuse(const QString& why);
    QMenu* MenuOf(int id) const;
    QVariantMap Properties(int id, const QStringList& names) const;
    MenuLayoutItem Layout(int id, int depth, const QStringList& names);
    void Watch(QMenu* menu);

    QPointer<QMenu> menu_;
    QHash<QAction*, int> ids_;
    QHash<int, QPointer<QAction>> actions_;
    int nextId_ = 1;
    uint revision_ = 1;
};

} // namespace pw::desktop
