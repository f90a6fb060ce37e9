#include "platform/WindowSystem.h"

#include <QGuiApplication>

namespace pw::platform {

bool WindowSystem::PlacesWindows()
{
    // "wayland", "wayland-egl", ...: Qt's own platform plugins for a Wayland compositor.
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

} // namespace pw::platform
