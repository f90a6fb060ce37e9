// The window sees every key before its controls: arrows navigate and never reach the
// comic selector.
#include "app/TForm1.h"

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
    bool consumed = false;
    platform::Guarded([&] {
        if (type == QEvent::KeyPress)
            consumed = FormKeyDown(key);
        else
            FormKeyUp(key);
    });
    return consumed || QMainWindow::eventFilter(watched, event);
}

bool TForm1::FormKeyDown(QKeyEvent* key)
{
    switch (key->key()) {
    case Qt::Key_Left:
        btnPrevClick();
        return true;
    case Qt::Key_Right:
        btnNextClick();
        return true;
    case Qt::Key_Down:
        NextComic();
        return true;
    case Qt::Key_Up:
        PreviousComic();
        return true;
    case Qt::Key_Control:
        ctrlHeld_ = true;
        return false;
    case Qt::Key_I:
        if (!ctrlHeld_)
            return false;
        bitbtnAdvancedInfo->click();
        return true;
    case Qt::Key_Escape:
        if (!bitbtnAbort->isEnabled())
            return false;
        bitbtnAbort->click();
        return true;
    default:
        return false;
    }
}

void TForm1::FormKeyUp(QKeyEvent* key)
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
