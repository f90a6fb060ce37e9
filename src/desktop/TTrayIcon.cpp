#include "desktop/TTrayIcon.h"

#include "desktop/StatusNotifierItem.h"
#include "desktop/StatusNotifierWatch.h"
#include "platform/ExceptionGuard.h"
#include "platform/MessageTarget.h"
#include "platform/Timer.h"

#include <QAction>
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QWidget>
#include <algorithm>
#include <climits>

namespace pw::desktop {

namespace {
// Private message of the hidden window: the owner was minimised, hide it into the tray.
// Handled from the loop, after the window system has finished the minimise.
constexpr unsigned kMinimizedMessage = kTrayCallbackMessage + 1;
constexpr platform::WParam kIconId = 1;

TShiftState KeyState()
{
    const Qt::KeyboardModifiers keys = QGuiApplication::queryKeyboardModifiers();
    TShiftState shift = 0;
    if (keys & Qt::ShiftModifier)
        shift |= ssShift;
    if (keys & Qt::AltModifier)
        shift |= ssAlt;
    if (keys & Qt::ControlModifier)
        shift |= ssCtrl;
    return shift;
}
} // namespace

TTrayIcon::TTrayIcon(QWidget* owner)
    : QObject(owner), owner_(owner), tray_(new QSystemTrayIcon(this)), panel_(new StatusNotifierWatch(this)),
      item_(new StatusNotifierItem(QStringLiteral("Panelwick"), this)),
      callback_(new platform::MessageTarget(this)), cycleTimer_(new platform::Timer(this))
{
    callback_->OnMessage = [this](unsigned msg, platform::WParam, platform::LParam lParam) {
        if (msg == kTrayCallbackMessage)
            Callback(static_cast<unsigned>(lParam));
        else if (msg == kMinimizedMessage)
            MinimizedToTray();
    };
    cycleTimer_->SetInterval(static_cast<int>(cycleInterval_));
    cycleTimer_->OnTimer = [this] { CycleTick(); };
    // Qt reports a press; the component's table wants the messages of a whole click.
    connect(tray_, &QSystemTrayIcon::messageClicked, this, [this] {
        if (enabled_ && OnMessageClick)
            platform::Guarded(OnMessageClick);
    });
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        switch (reason) {
        case QSystemTrayIcon::Trigger:
            PostMouse({kLButtonDown, kLButtonUp});
            break;
        case QSystemTrayIcon::DoubleClick:
            PostMouse({kLButtonDblClk, kLButtonUp});
            break;
        case QSystemTrayIcon::Context:
            PostMouse({kRButtonDown, kRButtonUp});
            break;
        case QSystemTrayIcon::MiddleClick:
            PostMouse({kMButtonDown, kMButtonUp});
            break;
        default:
            break;
        }
    });
    // The panel's activation is a whole click; as the primary action of the icon it
    // stands for the classic tray's double-click.
    item_->OnActivate = [this] { PostMouse({kLButtonDown, kLButtonUp, kLButtonDblClk, kLButtonUp}); };
    item_->OnSecondaryActivate = [this] { PostMouse({kMButtonDown, kMButtonUp}); };
    item_->OnContextMenu = [this] { PostMouse({kRButtonDown, kRButtonUp}); };
    panel_->OnChanged = [this] { Present(); };
    // Qt chose its kind of tray when the icon was made, for the whole run.
    qtIconOnPanel_ = panel_->HostRegistered();
    if (owner_)
        owner_->installEventFilter(this);
}

TTrayIcon::~TTrayIcon()
{
    if (owner_)
        owner_->removeEventFilter(this);
    RemoveIcon();
}

void TTrayIcon::PostMouse(std::initializer_list<unsigned> mouseMessages)
{
    for (unsigned message : mouseMessages)
        callback_->Post(kTrayCallbackMessage, kIconId, message);
}

void TTrayIcon::Loaded()
{
    if (startMinimized_ && CanHideIntoTray())
        HideMainWindow();
    UpdateIcon();
    SetIconVisible(iconVisible_);
}

void TTrayIcon::SetCycleIcons(bool on)
{
    cycleIcons_ = on;
    if (on)
        nextIcon_ = 0;
    cycleTimer_->SetEnabled(on);
}

void TTrayIcon::SetCycleInterval(unsigned ms)
{
    cycleInterval_ = ms;
    cycleTimer_->SetInterval(static_cast<int>(std::min<unsigned>(ms, INT_MAX)));
}

void TTrayIcon::SetHint(const QString& hint)
{
    hint_ = hint;
    UpdateIcon();
}

void TTrayIcon::SetShowHint(bool on)
{
    showHint_ = on;
    UpdateIcon();
}

void TTrayIcon::SetIcon(const QIcon& icon)
{
    icon_ = icon;
    UpdateIcon();
}

void TTrayIcon::SetPopupMenu(QMenu* menu)
{
    popupMenu_ = menu;
    item_->SetMenu(menu);
}

void TTrayIcon::SetIconVisible(bool on)
{
    if (on)
        AddIcon();
    else
        RemoveIcon();
}

QString TTrayIcon::Tip() const
{
    if (!showHint_ || hint_.isEmpty())
        return {};
    QString tip = hint_.left(kMaxTipLength);
    if (tip.size() == kMaxTipLength && tip.back().isHighSurrogate())
        tip.chop(1); // never half a character
    return tip;
}

void TTrayIcon::AddIcon()
{
    iconVisible_ = true;
    UpdateIcon();
    Present();
}

void TTrayIcon::RemoveIcon()
{
    iconVisible_ = false;
    Present();
}

void TTrayIcon::UpdateIcon()
{
    tray_->setIcon(icon_);
    tray_->setToolTip(Tip());
    item_->SetIcon(icon_);
    item_->SetToolTip(Tip());
}

void TTrayIcon::Present()
{
    // One icon at a time: Qt's own would register on the panel too.
    if (iconVisible_ && panel_->HostRegistered()) {
        tray_->hide();
        item_->Show();
        toldNoTray_ = false;
    } else {
        item_->Hide();
        tray_->setVisible(iconVisible_ && !qtIconOnPanel_);
    }
}

void TTrayIcon::RestoreMainWindow()
{
    if (!owner_)
        return;
    owner_->setWindowState(owner_->windowState() & ~Qt::WindowMinimized);
    owner_->show();
    owner_->raise();
    owner_->activateWindow();
}

void TTrayIcon::HideMainWindow()
{
    if (owner_)
        owner_->hide();
}

void TTrayIcon::ShowPopupAtCursor()
{
    if (!popupMenu_)
        return;
    // Not modal: the window keeps running while the menu is open.
    popupMenu_->popup(QCursor::pos());
}

bool TTrayIcon::ShowMessage(const QString& title, const QString& text)
{
    // A panel's icon has no balloon of its own; such desktops have a notification service.
    if (!iconVisible_ || OnStatusNotifierPanel() || !QSystemTrayIcon::isSystemTrayAvailable() ||
        !QSystemTrayIcon::supportsMessages())
        return false;
    tray_->showMessage(title, text, icon_);
    return true;
}

bool TTrayIcon::OnStatusNotifierPanel() const
{
    return panel_->HostRegistered();
}

bool TTrayIcon::TrayAvailable() const
{
    // Qt's icon is kept hidden where Qt made it for a panel: then only a panel holds ours.
    return OnStatusNotifierPanel() || (!qtIconOnPanel_ && QSystemTrayIcon::isSystemTrayAvailable());
}

bool TTrayIcon::CanHideIntoTray()
{
    if (TrayAvailable()) {
        toldNoTray_ = false;
        return true;
    }
    if (!toldNoTray_ && OnLog)
        OnLog(QStringLiteral("Tray: this desktop shows no notification area, so Panelwick is minimised "
                             "to the task bar instead of the tray."));
    toldNoTray_ = true;
    return false;
}

void TTrayIcon::Callback(unsigned mouseMessage)
{
    if (!enabled_)
        return;
    const QPoint at = QCursor::pos();
    const TShiftState keys = KeyState();
    auto down = [&](TMouseButton button, TShiftState flag) {
        if (OnMouseDown)
            OnMouseDown(button, keys | flag, at.x(), at.y());
    };
    auto up = [&](TMouseButton button, TShiftState flag) {
        if (OnMouseUp)
            OnMouseUp(button, keys | flag, at.x(), at.y());
    };
    switch (mouseMessage) {
    case kMouseMove:
        if (OnMouseMove)
            OnMouseMove(keys, at.x(), at.y());
        break;
    case kLButtonDown:
        down(TMouseButton::mbLeft, ssLeft);
        leftPressed_ = true;
        if (leftPopup_)
            ShowPopupAtCursor();
        break;
    case kLButtonUp:
        if (leftPressed_) {
            leftPressed_ = false;
            if (OnClick)
                OnClick();
        }
        up(TMouseButton::mbLeft, ssLeft);
        break;
    case kLButtonDblClk:
        if (OnDblClick)
            OnDblClick();
        if (popupMenu_ && !leftPopup_) {
            if (QAction* entry = popupMenu_->defaultAction())
                entry->trigger();
        }
        break;
    case kRButtonDown:
        down(TMouseButton::mbRight, ssRight);
        ShowPopupAtCursor();
        break;
    case kRButtonUp:
        up(TMouseButton::mbRight, ssRight);
        break;
    case kMButtonDown:
        down(TMouseButton::mbMiddle, ssMiddle);
        break;
    case kMButtonUp:
        up(TMouseButton::mbMiddle, ssMiddle);
        break;
    default:
        break;
    }
}

void TTrayIcon::CycleTick()
{
    if (iconList_.isEmpty())
        return;
    if (nextIcon_ >= iconList_.size())
        nextIcon_ = 0;
    const int current = nextIcon_;
    icon_ = iconList_.at(current);
    if (OnCycle)
        OnCycle(current);
    UpdateIcon();
    nextIcon_ = current + 1 < iconList_.size() ? current + 1 : 0;
}

bool TTrayIcon::eventFilter(QObject* watched, QEvent* event)
{
    // Without a notification area a hidden window could never come back: it stays
    // minimised on the task bar then.
    if (watched == owner_ && event->type() == QEvent::WindowStateChange && owner_->isMinimized() &&
        minimizeToTray_ && CanHideIntoTray())
        callback_->Post(kMinimizedMessage);
    return QObject::eventFilter(watched, event);
}

void TTrayIcon::MinimizedToTray()
{
    if (!owner_ || !owner_->isMinimized() || !owner_->isVisible())
        return; // restored again in the meantime
    HideMainWindow();
    SetIconVisible(true);
}

} // namespace pw::desktop
