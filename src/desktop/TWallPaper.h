#pragma once

#include <QString>
#include <functional>

namespace pw::desktop {

// The per-user desktop wallpaper settings ("Control Panel\desktop" in the registry) and
// the desktop's wallpaper call. Caches nothing: every read goes to the registry, every
// write takes effect at once. Made for one operation.
class TWallPaper {
public:
    // The current wallpaper file; "" when none is recorded.
    QString Wallpaper() const;
    // Tells the desktop to show the file (the call's result is not checked).
    void SetWallpaper(const QString& path);
    // "TileWallpaper" read as a number: non-zero is tiled. A missing or non-numeric
    // value throws.
    bool Tile() const;
    // Writes "TileWallpaper" ("1" or "0"), then applies the current wallpaper again when
    // it is OwnPicture.
    void SetTile(bool on);
    // True only when "WallpaperStyle" is "2".
    bool Stretch() const;
    // Writes "WallpaperStyle" ("2" or "0"), then applies the current wallpaper again when
    // it is OwnPicture.
    void SetStretch(bool on);

    // The absolute path of the picture this program writes. The recorded value can be
    // edited by hand; anything else it names (another file, a value a tool would take
    // for an option) is never handed to the desktop.
    QString OwnPicture;

    // Each command the desktop call starts, for the debug log.
    std::function<void(const QString&)> OnCommand;

private:
    void ApplyAgain();
    QString ReadValue(const QString& name) const;
    void WriteValue(const QString& name, const QString& value);
};

} // namespace pw::desktop
