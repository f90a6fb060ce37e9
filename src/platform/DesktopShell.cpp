#include "DesktopShell.h"

#include <QDesktopServices>
#include <QUrl>

namespace pw::platform {

void DesktopShell::Open(const QString& fileOrUrl)
{
    if (Opener) {
        Opener(fileOrUrl);
        return;
    }
    const QUrl url =
        fileOrUrl.contains(QStringLiteral("://")) ? QUrl(fileOrUrl) : QUrl::fromLocalFile(fileOrUrl);
    QDesktopServices::openUrl(url); // result not checked: nothing useful to tell the user
}

} // namespace pw::platform
