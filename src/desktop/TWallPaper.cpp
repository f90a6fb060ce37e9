#include "desktop/TWallPaper.h"

#include "platform/DesktopWallpaper.h"
#include "platform/TRegistry.h"

#include <QDir>
#include <QFileInfo>

namespace pw::desktop {

namespace {
const QString kDesktopKey = QStringLiteral("\\Control Panel\\desktop\\");
} // namespace

QString TWallPaper::ReadValue(const QString& name) const
{
    platform::TRegistry registry(platform::TRootKey::CurrentUser);
    if (!registry.OpenKey(kDesktopKey, false))
        return {};
    return registry.ReadString(name);
}

void TWallPaper::WriteValue(const QString& name, const QString& value)
{
    // The key always exists on the desktop this was made for; a fresh registry makes it.
    platform::TRegistry registry(platform::TRootKey::CurrentUser);
    if (!registry.OpenKey(kDesktopKey, true))
        throw platform::ERegistryException(
            QStringLiteral("Couldn't open the desktop settings in the registry."));
    registry.WriteString(name, value);
}

QString TWallPaper::Wallpaper() const
{
    return ReadValue(QStringLiteral("Wallpaper"));
}

void TWallPaper::SetWallpaper(const QString& path)
{
    for (const platform::DesktopWallpaper::Command& command : platform::DesktopWallpaper::Apply(path)) {
        if (OnCommand)
            OnCommand(platform::DesktopWallpaper::Text(command));
    }
}

void TWallPaper::ApplyAgain()
{
    const QString current = Wallpaper();
    if (!OwnPicture.isEmpty() && current == OwnPicture && QDir::isAbsolutePath(current) &&
        QFileInfo(current).isFile())
        SetWallpaper(current);
}

bool TWallPaper::Tile() const
{
    bool ok = false;
    const int tile = ReadValue(QStringLiteral("TileWallpaper")).toInt(&ok);
    if (!ok)
        throw platform::Exception(QStringLiteral("\"TileWallpaper\" is not a valid integer value"));
    return tile != 0;
}

void TWallPaper::SetTile(bool on)
{
    WriteValue(QStringLiteral("TileWallpaper"), on ? QStringLiteral("1") : QStringLiteral("0"));
    ApplyAgain();
}

bool TWallPaper::Stretch() const
{
    bool ok = false;
    const int style = ReadValue(QStringLiteral("WallpaperStyle")).toInt(&ok);
    return ok && style == 2;
}

void TWallPaper::SetStretch(bool on)
{
    WriteValue(QStringLiteral("WallpaperStyle"), on ? QStringLiteral("2") : QStringLiteral("0"));
    ApplyAgain();
}

} // namespace pw::desktop
