#include "TestEnvironment.h"

#include <QByteArray>
#include <QDir>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace pw::test {

void IsolateHome()
{
    std::string templ = QDir::tempPath().toStdString() + "/panelwick-home-XXXXXX";
    char* dir = mkdtemp(templ.data());
    if (!dir)
        return;
    static std::string home;
    home = dir;
    // Each test process gets its own home; leave none behind in the temporary folder.
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(home, ignored);
    });
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
    setenv("XDG_CACHE_HOME", (home + "/.cache").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", home.c_str(), 1);
    // Nor the user's desktop: no wallpaper tool reaches a real display.
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("XDG_CURRENT_DESKTOP");
    // No test reaches a real session bus; the notification tests start their own.
    setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/panelwick-tests-use-a-private-bus", 1);
}

} // namespace pw::test
