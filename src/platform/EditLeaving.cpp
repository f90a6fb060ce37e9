#include "platform/EditLeaving.h"

#include <QApplication>
#include <QFocusEvent>
#include <QWidget>

namespace pw::platform {

bool LeavesEditField(const QEvent& event, const QWidget& dialog, const QWidget* cancel)
{
    if (event.type() != QEvent::FocusOut || !dialog.isVisible())
        return false;
    const Qt::FocusReason reason = static_cast<const QFocusEvent&>(event).reason();
    const bool moved = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
                       reason == Qt::MouseFocusReason || reason == Qt::ShortcutFocusReason;
    const QWidget* next = QApplication::focusWidget();
    return moved && next && next->window() == &dialog && next != cancel;
}

} // namespace pw::platform
