#pragma once

#include "comics/TComicStrip.h"

#include <QString>
#include <functional>
#include <optional>

namespace pw::app {

// Tray icon, autostart, wallpaper and clipboard: the one place the main window and the
// settings dialog reach the desktop. This base does nothing; DesktopComponents connects
// the real parts, and tests record the calls instead.
class TDesktopIntegration {
public:
    virtual ~TDesktopIntegration();

    // The main window is being made (its files are known): the components take their
    // design values.
    virtual void FormCreate() {}

    // Whether a tray icon can bring a hidden window back; without one, starting
    // minimised leaves the window minimised on the task bar instead of hidden.
    virtual bool HasTray() const { return false; }

    virtual void SetAutostart(bool on);
    virtual void SetTrayStartMinimized(bool on);
    virtual void SetTrayMinimizeToTray(bool on);
    // A message beside the tray icon, where the desktop has no notification service;
    // `clicked` runs when the user clicks it. False when there is no tray to show it.
    virtual bool ShowTrayMessage(const QString& title, const QString& text, std::function<void()> clicked);

    // The shown picture to the clipboard; nothing when no picture is shown.
    virtual void CopyCurrentStrip();
    // Makes the strip (none: a comic without strips) the centred desktop wallpaper;
    // reports every failure itself and passes nothing on.
    virtual void SetStripAsWallpaper(const std::optional<comics::TComicStrip>& strip);

    // The autostart entry is there, but the desktop's session settings switched it off.
    virtual bool AutostartSwitchedOff() const;
};

} // namespace pw::app
