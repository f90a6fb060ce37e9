#include "platform/DesktopWallpaper.h"

#include "platform/TRegistry.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#include <algorithm>
#include <initializer_list>

namespace pw::platform {

namespace {

// Sets every Xfce backdrop (one per monitor and workspace) to the picture, centred.
const QString kXfceScript =
    QStringLiteral("xfconf-query -c xfce4-desktop -l | grep '/last-image$' | while read -r p; do "
                   "xfconf-query -c xfce4-desktop -p \"$p\" -s \"$1\"; "
                   "xfconf-query -c xfce4-desktop -p \"${p%last-image}image-style\" -s 1; done");

// Plasma's image wallpaper takes its fill mode from Qt Quick's Image.fillMode; 6 is
// Image.Pad, which its settings call "Centered".
constexpr int kPlasmaCentred = 6;

// A script for Plasma's desktop scripting that shows the picture with the image wallpaper,
// centred, on every desktop (each screen of each activity). Plasma's own apply tool keeps
// the user's fill mode, which is "Scaled and Cropped" unless changed, and cuts a wide strip.
QString PlasmaScript(const QString& uri)
{
    // A JSON string is a JavaScript string literal: whatever the address holds stays inside it.
    const QByteArray array = QJsonDocument(QJsonArray{uri}).toJson(QJsonDocument::Compact);
    const QString literal = QString::fromUtf8(array.mid(1, array.size() - 2));
    return QStringLiteral("var ds = desktops(); for (var i = 0; i < ds.length; ++i) { var d = ds[i]; "
                          "d.wallpaperPlugin = \"org.kde.image\"; "
                          "d.currentConfigGroup = [\"Wallpaper\", \"org.kde.image\", \"General\"]; "
                          "d.writeConfig(\"Image\", ") +
           literal + QStringLiteral("); d.writeConfig(\"FillMode\", ") + QString::number(kPlasmaCentred) +
           QStringLiteral("); }");
}

} // namespace

std::vector<DesktopWallpaper::Command>
DesktopWallpaper::Commands(const QString& path, const QProcessEnvironment& env,
                           const std::function<QString(const QString&)>& findProgram)
{
    const QStringList desktops = env.value(QStringLiteral("XDG_CURRENT_DESKTOP"))
                                     .toUpper()
                                     .split(QLatin1Char(':'), Qt::SkipEmptyParts);
    auto running = [&](std::initializer_list<const char*> names) {
        for (const char* name : names) {
            if (desktops.contains(QLatin1String(name)))
                return true;
        }
        return false;
    };
    std::vector<Command> commands;
    auto add = [&](const QString& program, QStringList arguments) {
        const QString full = findProgram(program);
        if (full.isEmpty())
            return false;
        arguments.prepend(full);
        commands.push_back(arguments);
        return true;
    };
    const QString uri = QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
    const QString gsettings = QStringLiteral("gsettings");
    const QString set = QStringLiteral("set");
    const QString options = QStringLiteral("picture-options");
    const QString centred = QStringLiteral("centered");

    if (running({"X-CINNAMON", "CINNAMON"})) {
        const QString schema = QStringLiteral("org.cinnamon.desktop.background");
        if (add(gsettings, {set, schema, options, centred}))
            add(gsettings, {set, schema, QStringLiteral("picture-uri"), uri});
    } else if (running({"MATE"})) {
        const QString schema = QStringLiteral("org.mate.background");
        if (add(gsettings, {set, schema, options, centred}))
            add(gsettings, {set, schema, QStringLiteral("picture-filename"), path});
    } else if (running({"GNOME", "UNITY", "BUDGIE", "PANTHEON"})) {
        const QString schema = QStringLiteral("org.gnome.desktop.background");
        if (add(gsettings, {set, schema, options, centred})) {
            add(gsettings, {set, schema, QStringLiteral("picture-uri"), uri});
            add(gsettings, {set, schema, QStringLiteral("picture-uri-dark"), uri}); // the dark style's own
        }
    } else if (running({"XFCE"})) {
        if (!findProgram(QStringLiteral("xfconf-query")).isEmpty())
            add(QStringLiteral("sh"), {QStringLiteral("-c"), kXfceScript, QStringLiteral("sh"), path});
    } else if (running({"KDE"})) {
        // dbus-send waits for the answer, so that the call is not lost when it leaves.
        add(QStringLiteral("dbus-send"),
            {QStringLiteral("--session"), QStringLiteral("--print-reply=literal"),
             QStringLiteral("--dest=org.kde.plasmashell"), QStringLiteral("/PlasmaShell"),
             QStringLiteral("org.kde.PlasmaShell.evaluateScript"),
             QStringLiteral("string:") + PlasmaScript(uri)}) ||
            add(QStringLiteral("plasma-apply-wallpaperimage"), {path});
    } else if (!env.value(QStringLiteral("DISPLAY")).isEmpty() &&
               env.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty()) {
        // A bare X server: the root window's background. The X server of a Wayland
        // session (Xwayland) has a root window that nobody sees.
        add(QStringLiteral("feh"), {QStringLiteral("--no-fehbg"), QStringLiteral("--bg-center"), path}) ||
            add(QStringLiteral("xwallpaper"), {QStringLiteral("--center"), path}) ||
            add(QStringLiteral("hsetroot"), {QStringLiteral("-center"), path});
    }
    return commands;
}

QString DesktopWallpaper::Text(const Command& command)
{
    QStringList words;
    for (const QString& word : command) {
        const bool plain = !word.isEmpty() && std::all_of(word.begin(), word.end(), [](QChar c) {
            return c.isLetterOrNumber() || QStringLiteral("/._-=:%+,").contains(c);
        });
        words << (plain ? word
                        : QLatin1Char('\'') +
                              QString(word).replace(QLatin1String("'"), QLatin1String("'\\''")) +
                              QLatin1Char('\''));
    }
    return words.join(QLatin1Char(' '));
}

std::vector<DesktopWallpaper::Command> DesktopWallpaper::Apply(const QString& path)
{
    // Recorded first, and whatever the desktop does with it.
    try {
        TRegistry registry(TRootKey::CurrentUser);
        if (registry.OpenKey(QStringLiteral("Control Panel\\desktop"), true))
            registry.WriteString(QStringLiteral("Wallpaper"), path);
    } catch (const ERegistryException&) {
        // The call's result is not checked.
    }
    if (path.isEmpty())
        return {}; // no picture named yet: leave the desktop as it is
    const auto commands =
        Commands(path, QProcessEnvironment::systemEnvironment(),
                 [](const QString& program) { return QStandardPaths::findExecutable(program); });
    for (const Command& command : commands)
        QProcess::startDetached(command.first(), command.mid(1));
    return commands;
}

} // namespace pw::platform
