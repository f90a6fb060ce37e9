#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace pw::platform {

// The system call that makes a picture file the desktop wallpaper, centred. It records
// the path as the "Wallpaper" value of "Control Panel\desktop" in the per-user registry,
// then starts the running desktop's own tool: gsettings on GNOME and its relatives,
// xfconf-query on Xfce, on KDE dbus-send with a script for Plasma's desktop scripting
// (plasma-apply-wallpaperimage, which cannot centre, where dbus-send is missing), on X
// and on Wayland alike, and on a bare X server feh, xwallpaper or hsetroot. Where none
// is found nothing visible happens. The tools are not waited for and their results are not checked.
class DesktopWallpaper {
public:
    using Command = QStringList; // program, then its arguments

    // Returns the commands it started, for the debug log.
    static std::vector<Command> Apply(const QString& path);

    // A command as a shell would take it, for the log.
    static QString Text(const Command& command);

    // The commands for the desktop that env describes; findProgram gives a program's
    // full path, or "" when it is not installed.
    static std::vector<Command> Commands(const QString& path, const QProcessEnvironment& env,
                                         const std::function<QString(const QString&)>& findProgram);
};

} // namespace pw::platform
