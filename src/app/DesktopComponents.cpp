#include "app/DesktopComponents.h"

#include "app/StripPicture.h"
#include "app/TForm1.h"
#include "desktop/StripWallpaper.h"
#include "desktop/TLumbrinAutostart.h"
#include "desktop/TTrayIcon.h"
#include "platform/ExceptionGuard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>

namespace pw::app {

DesktopComponents::DesktopComponents(TForm1& form) : form_(form) {}

DesktopComponents::~DesktopComponents() = default;

void DesktopComponents::FormCreate()
{
    form_.TrayIcon1->OnLog = [this](const QString& line) {
        if (Log)
            Log(line);
    };
    AutoStart = std::make_unique<desktop::TLumbrinAutostart>(form_.Options().Paths.Executable);
    // Its first write keeps the autostart state the user chose and only follows the
    // executable to where it is now. A broken entry is reported; the program still starts.
    platform::Guarded([this] {
        AutoStart->SetAppName(QStringLiteral("Panelwick"));
        AutoStart->SetAutostart(true);
        AutoStart->SetStartNextLogon(false);
        AutoStart->SetGlobal(false);
    });
}

bool DesktopComponents::HasTray() const
{
    return form_.TrayIcon1->CanHideIntoTray();
}

void DesktopComponents::SetAutostart(bool on)
{
    if (AutoStart)
        AutoStart->SetAutostart(on);
}

void DesktopComponents::SetTrayStartMinimized(bool on)
{
    form_.TrayIcon1->SetStartMinimized(on);
}

void DesktopComponents::SetTrayMinimizeToTray(bool on)
{
    form_.TrayIcon1->SetMinimizeToTray(on);
}

void DesktopComponents::CopyCurrentStrip()
{
    const QImage shown = form_.ShownPicture();
    if (shown.isNull())
        return; // a comic without strips: the clipboard keeps what it holds
    QGuiApplication::clipboard()->setImage(shown);
}

void DesktopComponents::SetStripAsWallpaper(const std::optional<comics::TComicStrip>& strip)
{
    desktop::StripWallpaper::Set(strip, form_.Options().Paths.UserDataDir, [this](const QString& command) {
        if (Log)
            Log(QStringLiteral("Wallpaper: ") + command);
    });
}

bool DesktopComponents::ShowTrayMessage(const QString& title, const QString& text,
                                        std::function<void()> clicked)
{
    form_.TrayIcon1->OnMessageClick = std::move(clicked);
    return form_.TrayIcon1->ShowMessage(title, text);
}

bool DesktopComponents::AutostartSwitchedOff() const
{
    return AutoStart && AutoStart->SwitchedOffByDesktop();
}

} // namespace pw::app
