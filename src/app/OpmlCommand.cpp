#include "app/OpmlCommand.h"

#include "app/ComicsOpml.h"
#include "app/ConsoleRun.h"
#include "app/RenameRepair.h"
#include "app/SingleInstance.h"
#include "comics/TComicsList.h"
#include "platform/Exception.h"
#include "platform/IniFile.h"
#include "platform/MessageBoxService.h"
#include "platform/TextEscapes.h"

namespace pw::app {

int OpmlCommand::Main(int argc, char** argv, TStartupOptions options)
{
    return RunConsoleCommand(argc, argv, std::move(options), &OpmlCommand::Run);
}

int OpmlCommand::Run(const TStartupOptions& options, QTextStream& out)
{
    options.Paths.MakeFolders();
    platform::TIniFile ini(options.Paths.IniPath);
    FinishInterruptedRename(options.Paths, ini);
    comics::TComicsList all;
    try {
        all.LoadCatalogue(options.Paths.CataloguePath);
        all.LoadUserCatalogue(options.Paths.UserCataloguePath);
    } catch (const platform::Exception& e) {
        return RefuseConsoleRun(QStringLiteral("Couldn't read the comic catalogue (%1).").arg(e.Message()));
    }
    if (options.Mode == TStartupOptions::TMode::ImportOpml) {
        const TOpmlImport result =
            ComicsOpml::Import(options.OpmlFile, all, options.Paths.UserCataloguePath, ini);
        if (!result.FileError.isEmpty())
            return RefuseConsoleRun(result.FileError);
        if (!result.Imported.isEmpty()) {
            // A window running beside takes the new comics in.
            TInstanceRequest changed;
            changed.Kind = TInstanceRequest::TKind::Catalogue;
            SingleInstance::Tell(options.Paths, changed);
        }
        // Titles come from the file: nothing raw reaches the terminal.
        out << platform::ShowableText(result.Text()) << Qt::endl;
        return 0;
    }
    comics::TComicsList chosen;
    comics::TComicsList notChosen;
    all.SplitChosen(ini, chosen, notChosen);
    QString error;
    if (!ComicsOpml::Export(options.OpmlFile, chosen, options.Paths.ComicsDir(ini), &error))
        return RefuseConsoleRun(error);
    out << QStringLiteral("Exported %1 to %2")
               .arg(chosen.Count() == 1 ? QStringLiteral("1 comic")
                                        : QStringLiteral("%1 comics").arg(chosen.Count()),
                    options.OpmlFile)
        << Qt::endl;
    return 0;
}

} // namespace pw::app
