// The window sees every key before its controls: the arrows, Space, Home, End and the page
// keys navigate and never reach the comic selector.
#include "app/TForm1.h"

#include "app/StripView.h"
#include "platform/ExceptionGuard.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>

namespace pw::app {

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease)
        return QMainWindow::eventFilter(watched, event);
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this)
        return QMainWindow::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (type == QEvent::KeyRelease) {
        FormKeyUp(key);
        return QMainWindow::eventFilter(watched, event);
    }
    // Whether the key is ours is settled before its command runs: a key whose command
    // failed is still consumed, or it would travel on to the focused control and up to
    // this filter again, and one press would take two steps.
    const std::function<void()> command = FormKeyDown(key);
    if (!command)
        return QMainWindow::eventFilter(watched, event);
    platform::Guarded(command);
    return true;
}

std::function<void()> TForm1::FormKeyDown(const QKeyEvent* key)
{
    switch (key->key()) {
    case Qt::Key_Left:
        return [this] { btnPrevClick(); };
    case Qt::Key_Right:
        return [this] { btnNextClick(); };
    case Qt::Key_Down:
        return [this] { NextComic(); };
    case Qt::Key_Up:
        return [this] { PreviousComic(); };
    case Qt::Key_Space:
        return [this] { NextUnread(); };
    case Qt::Key_Home:
        return [this] { FirstStrip(); };
    case Qt::Key_End:
        return [this] { NewestStrip(); };
    case Qt::Key_PageDown:
        return [this] { scrollStrip->PageStep(true); };
    case Qt::Key_PageUp:
        return [this] { scrollStrip->PageStep(false); };
    case Qt::Key_Control:
        ctrlHeld_ = true;
        return {};
    case Qt::Key_I:
        if (!ctrlHeld_)
            return {};
        return [this] { bitbtnAdvancedInfo->click(); };
    case Qt::Key_Escape:
        if (!bitbtnAbort->isEnabled())
            return {};
        return [this] { bitbtnAbort->click(); };
    default:
        return {};
    }
}

void TForm1::FormKeyUp(const QKeyEvent* key)
{
    if (key->key() == Qt::Key_Control)
        ctrlHeld_ = false;
}

void TForm1::changeEvent(QEvent* event)
{
    // The key-up of Ctrl goes elsewhere while another window is active; a flag left set
    // would turn a plain "I" into Ctrl+I.
    if (event->type() == QEvent::ActivationChange && !isActiveWindow())
        ctrlHeld_ = false;
    QMainWindow::changeEvent(event);
}

} // namespace pw::app
