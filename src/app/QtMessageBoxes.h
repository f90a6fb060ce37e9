#pragma once

#include "platform/MessageBoxService.h"

namespace pw::app {

// Message boxes as modal QMessageBox dialogs over the active window.
class QtMessageBoxes : public platform::IMessageBoxBackend {
public:
    void Show(platform::BoxKind kind, const QString& caption, const QString& text) override;
    bool Ask(const QString& caption, const QString& text) override;
};

} // namespace pw::app
