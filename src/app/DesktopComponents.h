#pragma once

#include "app/DesktopIntegration.h"

#include <QString>
#include <functional>
#include <memory>

namespace pw::desktop {
class TLumbrinAutostart;
} // namespace pw::desktop

namespace pw::app {

class TForm1;

// The desktop parts of the real program, connected to the main window: its tray icon,
// the autostart component AutoStart, the wallpaper and the clipboard.
class DesktopComponents : public TDesktopIntegration {
public:
    explicit DesktopComponents(TForm1& form);
    ~DesktopComponents() override;

    void FormCreate() override;
    bool HasTray() const override;
    void SetAutostart(bool on) override;
    void SetTrayStartMinimized(bool on) override;
    void SetTrayMinimizeToTray(bool on) override;
    bool ShowTrayMessage(const QString& title, const QString& text, std::function<void()> clicked) override;
    void CopyCurrentStrip() override;
    void SetStripAsWallpaper(const std::optional<comics::TComicStrip>& strip) override;

    // Where the commands of the desktop's wallpaper call are written: the debug log.
    std::function<void(const QString&)> Log;

    bool AutostartSwitchedOff() const override;

private:
    TForm1& form_;
    std::unique_ptr<desktop::TLumbrinAutostart> AutoStart;
};

} // namespace pw::app
