#pragma once

#include <QIcon>
#include <QList>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <initializer_list>

class QSystemTrayIcon;
class QWidget;

namespace pw::platform {
class MessageTarget;
class Timer;
} // namespace pw::platform

namespace pw::desktop {

class StatusNotifierItem;
class StatusNotifierWatch;

enum class TMouseButton { mbLeft = 0, mbRight = 1, mbMiddle = 2 };

// The shift state of a tray mouse action: modifier keys and the button of the action.
enum TShiftFlag : unsigned { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32 };
using TShiftState = unsigned;

// The notification area's callback message and the mouse messages it carries.
inline constexpr unsigned kTrayCallbackMessage = 2048;
inline constexpr unsigned kMouseMove = 0x200;
inline constexpr unsigned kLButtonDown = 0x201;
inline constexpr unsigned kLButtonUp = 0x202;
inline constexpr unsigned kLButtonDblClk = 0x203;
inline constexpr unsigned kRButtonDown = 0x204;
inline constexpr unsigned kRButtonUp = 0x205;
inline constexpr unsigned kMButtonDown = 0x207;
inline constexpr unsigned kMButtonUp = 0x208;

// The longest tip the notification area takes.
inline constexpr int kMaxTipLength = 63;

// One icon in the notification area with a hint; mouse actions on it become events, a
// menu pops up at the cursor, and the owner window can be hidden into the tray and
// restored. Qt's tray signal arrives as the callback message on the component's hidden
// window, so the same handling serves a real tray and the tests.
//
// Two kinds of notification area: the classic one that embeds the icon's window, where Qt
// reports each press and double-click, and a panel speaking StatusNotifierItem over
// D-Bus, which draws the icon and the menu itself and reports one activation for a click.
// The second is used whenever such a panel runs, also when it starts after the program;
// there an activation is a whole double-click, so it restores the window as a double-click
// does on the classic tray.
class TTrayIcon : public QObject {
    Q_OBJECT
public:
    explicit TTrayIcon(QWidget* owner);
    ~TTrayIcon() override;

    // After the owner has set the properties: start minimised, then show the icon.
    void Loaded();

    const QList<QIcon>& IconList() const { return iconList_; }
    void SetIconList(const QList<QIcon>& icons) { iconList_ = icons; }
    bool CycleIcons() const { return cycleIcons_; }
    void SetCycleIcons(bool on);
    unsigned CycleInterval() const { return cycleInterval_; }
    void SetCycleInterval(unsigned ms);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool on) { enabled_ = on; }
    const QString& Hint() const { return hint_; }
    void SetHint(const QString& hint);
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool on);
    const QIcon& Icon() const { return icon_; }
    void SetIcon(const QIcon& icon);
    bool IconVisible() const { return iconVisible_; }
    void SetIconVisible(bool on);
    QMenu* PopupMenu() const { return popupMenu_; }
    void SetPopupMenu(QMenu* menu);
    bool LeftPopup() const { return leftPopup_; }
    void SetLeftPopup(bool on) { leftPopup_ = on; }
    bool StartMinimized() const { return startMinimized_; }
    void SetStartMinimized(bool on) { startMinimized_ = on; }
    bool MinimizeToTray() const { return minimizeToTray_; }
    void SetMinimizeToTray(bool on) { minimizeToTray_ = on; }

    std::function<void()> OnClick;
    std::function<void()> OnDblClick;
    std::function<void(TMouseButton, TShiftState, int x, int y)> OnMouseDown;
    std::function<void(TMouseButton, TShiftState, int x, int y)> OnMouseUp;
    std::function<void(TShiftState, int x, int y)> OnMouseMove;
    std::function<void(int current)> OnCycle;
    // A click on the message of ShowMessage.
    std::function<void()> OnMessageClick;
    // Why the window stays on the task bar where it would go to the tray; said once.
    std::function<void(const QString&)> OnLog;

    void AddIcon();
    void RemoveIcon();
    void UpdateIcon();
    void RestoreMainWindow();
    void HideMainWindow();
    void ShowPopupAtCursor();
    // A short message beside the icon; false when the notification area cannot show one.
    bool ShowMessage(const QString& title, const QString& text);

    // Whether the desktop has a notification area that can hold the icon.
    bool TrayAvailable() const;
    // Whether the window may be hidden into the tray now: only where a notification area
    // can bring it back. When not, says why in the log, once until a tray appears.
    bool CanHideIntoTray();
    // Whether the icon is on a StatusNotifierItem panel.
    bool OnStatusNotifierPanel() const;
    // The tip given to the notification area: the hint, cut to its limit, or empty.
    QString Tip() const;
    // The hidden window that receives the notification area's callbacks.
    platform::MessageTarget& CallbackWindow() const { return *callback_; }
    QSystemTrayIcon& PlatformIcon() const { return *tray_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The mouse messages of one action, as the notification area sends them.
    void PostMouse(std::initializer_list<unsigned> mouseMessages);
    void Callback(unsigned mouseMessage);
    void CycleTick();
    void MinimizedToTray();
    void Present();

    QWidget* owner_;
    QSystemTrayIcon* tray_;
    StatusNotifierWatch* panel_;
    StatusNotifierItem* item_;
    platform::MessageTarget* callback_;
    platform::Timer* cycleTimer_;
    QList<QIcon> iconList_;
    bool cycleIcons_ = false;
    unsigned cycleInterval_ = 0;
    bool enabled_ = true;
    QString hint_;
    bool showHint_ = false;
    QIcon icon_;
    bool iconVisible_ = true;
    QPointer<QMenu> popupMenu_;
    bool leftPopup_ = false;
    bool startMinimized_ = false;
    bool minimizeToTray_ = false;
    bool leftPressed_ = false;
    int nextIcon_ = 0;
    bool toldNoTray_ = false;
    // Qt's icon is a StatusNotifierItem too: it stays hidden, ours is shown.
    bool qtIconOnPanel_ = false;
};

} // namespace pw::desktop
