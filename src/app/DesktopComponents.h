#pragma once

#include "app/DesktopIntegration.h"

namespace pw::app {

class TForm1;

// The desktop parts of the real program, connected to the main window.
class DesktopComponents : public TDesktopIntegration {
public:
    explicit DesktopComponents(TForm1& form) : form_(form) {}

    bool HasTray() const override;
    void SetTrayStartMinimized(bool on) override;
    void SetTrayMinimizeToTray(bool on) override;

private:
    TForm1& form_;
};

} // namespace pw::app
