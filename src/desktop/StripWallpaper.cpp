#include "desktop/StripWallpaper.h"

#include "desktop/TWallPaper.h"
#include "imaging/BmpFile.h"
#include "imaging/TGifDecoder.h"
#include "imaging/TJpegDecoder.h"
#include "imaging/TStripDecoder.h"
#include "platform/Exception.h"
#include "platform/MessageBoxService.h"

namespace pw::desktop {

namespace {

void WriteBmp(const QImage& picture, const QString& path)
{
    if (picture.isNull() || !imaging::BmpFile::Write(picture, path))
        throw platform::Exception(QStringLiteral("Couldn't write %1").arg(path));
}

} // namespace

bool StripWallpaper::Set(const std::optional<comics::TComicStrip>& strip, const QString& dataFolder,
                         const std::function<void(const QString&)>& log)
{
    try {
        QString folder = dataFolder;
        if (!folder.endsWith(QLatin1Char('/')))
            folder += QLatin1Char('/');
        const QString path = folder + kFileName;
        if (!strip)
            throw platform::Exception(QStringLiteral("No strip"));
        // ".gif" first: a name holding both takes the GIF way.
        if (strip->FileName.contains(QLatin1String(".gif")))
            WriteBmp(imaging::TGifDecoder::GetGIFFile(strip->StripPath()), path);
        else if (strip->FileName.contains(QLatin1String(".jpg")))
            WriteBmp(imaging::TJpegDecoder::LoadFromFile(strip->StripPath()), path);
        else // PNG and the like, by content, as the window shows them
            WriteBmp(imaging::TStripDecoder::LoadFromFile(strip->StripPath()), path);

        TWallPaper wallpaper;
        wallpaper.OnCommand = log;
        wallpaper.OwnPicture = path;
        wallpaper.SetStretch(false);
        wallpaper.SetTile(false);
        wallpaper.SetWallpaper(path);
        return true;
    } catch (const std::exception&) {
        platform::MessageBoxService::Error(
            QStringLiteral("Couldn't change wallpaper. The comic strip may be corrupt."));
        return false;
    }
}

} // namespace pw::desktop
