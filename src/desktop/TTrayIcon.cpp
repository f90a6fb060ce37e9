#include "desktop/TTrayIcon.h"

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
    : QObject(owner), owner_(owner), tray_(new QSystemTrayIcon(this)),
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
        auto post = [this](unsigned first, unsigned second) {
            callback_->Post(kTrayCallbackMessage, kIconId, first);
            callback_->Post(kTrayCallbackMessage, kIconId, second);
        };
        switch (reason) {
        case QSystemTrayIcon::Trigger:
            post(kLButtonDown, kLButtonUp);
            break;
        case QSystemTrayIcon::DoubleClick:
            post(kLButtonDblClk, kLButtonUp);
            break;
        case QSystemTrayIcon::Context:
            post(kRButtonDown, kRButtonUp);
            break;
        case QSystemTrayIcon::MiddleClick:
            post(kMButtonDown, kMButtonUp);
            break;
        default:
            break;
        }
    });
    if (owner_)
        owner_->installEventFilter(this);
}

TTrayIcon::~TTrayIcon()
{
    if (owner_)
        owner_->removeEventFilter(this);
    RemoveIcon();
}

void TTrayIcon::Loaded()
{
    if (startMinimized_)
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
    tray_->show();
}

void TTrayIcon::RemoveIcon()
{
    iconVisible_ = false;
    tray_->hide();
}

void TTrayIcon::UpdateIcon()
{
    tray_->setIcon(icon_);
    tray_->setToolTip(Tip());
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
    if (!iconVisible_ || !TrayAvailable() || !QSystemTrayIcon::supportsMessages())
        return false;
    tray_->showMessage(title, text, icon_);
    return true;
}

bool TTrayIcon::TrayAvailable()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
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
        minimizeToTray_ && TrayAvailable())
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
