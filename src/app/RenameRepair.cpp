#include "app/RenameRepair.h"

#include "comics/TComicRename.h"
#include "platform/Exception.h"
#include "platform/IniFile.h"
#include "platform/MessageBoxService.h"
#include "platform/ProgramPaths.h"

namespace pw::app {

void FinishInterruptedRename(const platform::TProgramPaths& paths, platform::TIniFile& ini)
{
    QString why;
    try {
        if (comics::TComicRename(paths.ComicsDir(ini), paths.UserCataloguePath, ini).Resume(&why))
            return;
    } catch (const platform::Exception& e) {
        why = e.Message();
    }
    platform::MessageBoxService::Error(QStringLiteral("Couldn't finish renaming a comic (%1).").arg(why));
}

} // namespace pw::app
