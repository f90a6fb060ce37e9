#pragma once

#include "comics/TComicStrip.h"

#include <QString>
#include <functional>
#include <optional>

namespace pw::desktop {

// Makes a stored strip the centred desktop wallpaper: the strip is written as
// "Panelwick Wallpaper.bmp" in the per-user data folder, then the desktop is pointed at it.
class StripWallpaper {
public:
    static inline const QString kFileName = QStringLiteral("Panelwick Wallpaper.bmp");

    // Never passes an error on: every failure (no strip, a strip that does not decode, a
    // file that cannot be written, a registry error) ends in one message box, and the
    // result is false. A failed conversion leaves the old wallpaper file as it was.
    // log receives each desktop command started.
    static bool Set(const std::optional<comics::TComicStrip>& strip, const QString& dataFolder,
                    const std::function<void(const QString&)>& log = {});
};

} // namespace pw::desktop
