#include "app/FetchOlder.h"

#include "app/ConsoleRun.h"
#include "comics/TComicInfo.h"
#include "comics/TComicStripsDB.h"
#include "comics/TComicsList.h"
#include "platform/Exception.h"
#include "platform/IniFile.h"
#include "platform/MessageBoxService.h"
#include "platform/TextEscapes.h"
#include "update/TArchiveWalk.h"

#include <QDir>
#include <QEventLoop>

namespace pw::app {

int FetchOlder::Main(int argc, char** argv, TStartupOptions options)
{
    return RunConsoleCommand(argc, argv, std::move(options), &FetchOlder::Run);
}

int FetchOlder::Run(const TStartupOptions& options, QTextStream& out)
{
    options.Paths.MakeFolders();
    platform::TIniFile ini(options.Paths.IniPath);
    comics::TComicStripsDB db(options.Paths.ComicsDir(ini));
    comics::TComicsList all;
    try {
        all.LoadCatalogue(options.Paths.CataloguePath);
        all.LoadUserCatalogue(options.Paths.UserCataloguePath);
    } catch (const platform::Exception& e) {
        return RefuseConsoleRun(QStringLiteral("Couldn't read the comic catalogue %1 (%2).")
                                    .arg(options.Paths.CataloguePath, e.Message()));
    }
    comics::TComicInfo* comic = all.FindByName(options.OlderComic);
    if (!comic) {
        return RefuseConsoleRun(
            QStringLiteral("No comic is named \"%1\" in the catalogue.").arg(options.OlderComic));
    }
    if (comics::TComicStripsDB::IsUsableName(comic->Name) && !comic->Name.isEmpty())
        QDir().mkpath(db.ComicFolder(comic->Name));

    update::TArchiveWalk walk(
        *comic, db, ini, options.OlderMax > 0 ? options.OlderMax : update::TArchiveWalk::kDefaultMaxStrips);
    QEventLoop loop;
    walk.OnStatusChange = [&](update::TArchiveWalk& w) {
        if (w.Finished())
            loop.quit();
    };
    walk.Start();
    if (!walk.Finished())
        loop.exec();
    // Names and reasons may come from a hostile site: nothing raw reaches the terminal.
    out << platform::ShowableText(comic->Name + QStringLiteral(": ") + walk.StatusText()) << Qt::endl;
    const auto outcome = walk.Outcome();
    return outcome == update::TArchiveWalk::TOutcome::Fetched ||
                   outcome == update::TArchiveWalk::TOutcome::NothingOlder
               ? 0
               : 1;
}

} // namespace pw::app
