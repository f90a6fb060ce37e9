#pragma once

class QEvent;
class QWidget;

namespace pw::platform {

// Whether an edit field's event means the user leaves the field, so that its value is
// checked now: the field lost the focus to another control of the same visible dialog,
// moved there by Tab, Shift+Tab, a click or a shortcut. A move to the dialog's Cancel
// button does not count: Cancel never gets stuck on a value it will not use.
bool LeavesEditField(const QEvent& event, const QWidget& dialog, const QWidget* cancel);

} // namespace pw::platform
