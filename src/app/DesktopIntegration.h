#pragma once

namespace pw::app {

// Tray icon, autostart, wallpaper and clipboard: the one place the main window and the
// settings dialog reach the desktop. This base does nothing; DesktopComponents connects
// the real parts, and tests record the calls instead.
class TDesktopIntegration {
public:
    virtual ~TDesktopIntegration();

    // Whether a tray icon can bring a hidden window back; without one, starting
    // minimised leaves the window minimised on the task bar instead of hidden.
    virtual bool HasTray() const { return false; }

    virtual void SetAutostart(bool on);
    virtual void SetTrayStartMinimized(bool on);
    virtual void SetTrayMinimizeToTray(bool on);

    virtual void CopyCurrentStrip();
    virtual void SetStripAsWallpaper();
    virtual void ToggleWallpaperComic(); // "Always set the latest strip of this comic..."
};

} // namespace pw::app
