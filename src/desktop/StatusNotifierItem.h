#pragma once

#include "desktop/StatusNotifierTypes.h"

#include <QDBusObjectPath>
#include <QIcon>
#include <QObject>
#include <QString>
#include <functional>

class QMenu;

namespace pw::desktop {

class DBusMenuExporter;

// The program's icon on a panel that speaks the StatusNotifierItem protocol (KDE Plasma,
// the AppIndicator extension, the panels of Xfce, MATE, Cinnamon and LXQt). The panel
// draws the icon, its tool tip and the exported menu, and calls back on a click. Its
// D-Bus properties, methods and signals are this object's; the rest is for the tray icon.
class StatusNotifierItem : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ Category)
    Q_PROPERTY(QString Id READ Id)
    Q_PROPERTY(QString Title READ Title)
    Q_PROPERTY(QString Status READ Status)
    Q_PROPERTY(int WindowId READ WindowId)
    Q_PROPERTY(QString IconThemePath READ NoName)
    Q_PROPERTY(QString IconName READ NoName)
    Q_PROPERTY(pw::desktop::SniPixmapList IconPixmap READ IconPixmap)
    Q_PROPERTY(QString OverlayIconName READ NoName)
    Q_PROPERTY(pw::desktop::SniPixmapList OverlayIconPixmap READ NoPixmaps)
    Q_PROPERTY(QString AttentionIconName READ NoName)
    Q_PROPERTY(pw::desktop::SniPixmapList AttentionIconPixmap READ NoPixmaps)
    Q_PROPERTY(QString AttentionMovieName READ NoName)
    Q_PROPERTY(pw::desktop::SniToolTip ToolTip READ ToolTip)
    Q_PROPERTY(bool ItemIsMenu READ ItemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ Menu)
public:
    explicit StatusNotifierItem(const QString& title, QObject* parent = nullptr);
    ~StatusNotifierItem() override;

    void SetIcon(const QIcon& icon);
    void SetToolTip(const QString& tip);
    void SetMenu(QMenu* menu);
    // Puts the icon on the panel (again, when the panel's watcher was restarted).
    void Show();
    // Takes it off.
    void Hide();
    bool Shown() const { return !service_.isEmpty(); }

    std::function<void()> OnActivate;
    std::function<void()> OnSecondaryActivate;
    std::function<void()> OnContextMenu;

    QString Category() const { return QStringLiteral("ApplicationStatus"); }
    QString Id() const { return QStringLiteral("panelwick"); }
    QString Title() const { return title_; }
    QString Status() const { return QStringLiteral("Active"); }
    int WindowId() const { return 0; }
    QString NoName() const { return {}; }
    SniPixmapList IconPixmap() const { return SniPixmaps(icon_); }
    SniPixmapList NoPixmaps() const { return {}; }
    SniToolTip ToolTip() const { return {QString(), {}, tip_, QString()}; }
    bool ItemIsMenu() const { return false; }
    QDBusObjectPath Menu() const;

public slots:
    void Activate(int x, int y);
    void SecondaryActivate(int x, int y);
    void ContextMenu(int x, int y);
    void Scroll(int delta, const QString& orientation);

signals:
    void NewTitle();
    void NewIcon();
    void NewAttentionIcon();
    void NewOverlayIcon();
    void NewToolTip();
    void NewStatus(const QString& status);

private:
    bool Export();

    QString title_;
    QString tip_;
    QIcon icon_;
    DBusMenuExporter* menu_;
    bool hasMenu_ = false;
    bool exported_ = false;
    QString service_;
};

} // namespace pw::desktop
