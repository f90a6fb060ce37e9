#include "app/DesktopComponents.h"

#include "app/TForm1.h"
#include "desktop/TTrayIcon.h"

namespace pw::app {

bool DesktopComponents::HasTray() const
{
    return desktop::TTrayIcon::TrayAvailable();
}

void DesktopComponents::SetTrayStartMinimized(bool on)
{
    form_.TrayIcon1->SetStartMinimized(on);
}

void DesktopComponents::SetTrayMinimizeToTray(bool on)
{
    form_.TrayIcon1->SetMinimizeToTray(on);
}

} // namespace pw::app
