#include "app/DesktopIntegration.h"

namespace pw::app {

TDesktopIntegration::~TDesktopIntegration() = default;

void TDesktopIntegration::SetAutostart(bool /*on*/) {}
void TDesktopIntegration::SetTrayStartMinimized(bool /*on*/) {}
void TDesktopIntegration::SetTrayMinimizeToTray(bool /*on*/) {}
bool TDesktopIntegration::ShowTrayMessage(const QString& /*title*/, const QString& /*text*/,
                                          std::function<void()> /*clicked*/)
{
    return false;
}
void TDesktopIntegration::CopyCurrentStrip() {}
void TDesktopIntegration::SetStripAsWallpaper(const std::optional<comics::TComicStrip>& /*strip*/) {}
bool TDesktopIntegration::AutostartSwitchedOff() const
{
    return false;
}

} // namespace pw::app
