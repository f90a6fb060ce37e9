#include "app/AddComic.h"

#include "app/ConsoleRun.h"
#include "app/RenameRepair.h"
#include "app/SingleInstance.h"
#include "comics/ComicName.h"
#include "comics/TComicInfo.h"
#include "comics/TComicsList.h"
#include "comics/TUserCatalogue.h"
#include "platform/Exception.h"
#include "platform/IniFile.h"
#include "platform/MessageBoxService.h"
#include "sources/AddressJoin.h"
#include "update/TSourceProbe.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <memory>

namespace pw::app {

int AddComic::Main(int argc, char** argv, TStartupOptions options)
{
    return RunConsoleCommand(argc, argv, std::move(options), &AddComic::Run);
}

int AddComic::Run(const TStartupOptions& options, QTextStream& out)
{
    const QString typed = options.AddAddress.trimmed();
    // A bare domain is tried as https, then as http.
    const QStringList candidates = sources::ComicAddressCandidates(typed);
    if (typed.isEmpty() || !sources::IsComicAddress(candidates.first()))
        return RefuseConsoleRun(
            QStringLiteral("%1 is no http:// or https:// address (without blanks or control "
                           "characters).")
                .arg(typed));
    QString why;
    if (!options.AddName.isNull() && !comics::IsAcceptableComicName(options.AddName, &why))
        return RefuseConsoleRun(
            QStringLiteral("The name \"%1\" cannot be used: %2.").arg(options.AddName, why));

    options.Paths.MakeFolders();
    comics::TComicsList all;
    {
        platform::TIniFile settings(options.Paths.IniPath);
        FinishInterruptedRename(options.Paths, settings);
    }
    try {
        all.LoadCatalogue(options.Paths.CataloguePath);
        all.LoadUserCatalogue(options.Paths.UserCataloguePath);
    } catch (const platform::Exception& e) {
        return RefuseConsoleRun(QStringLiteral("Couldn't read the comic catalogue (%1).").arg(e.Message()));
    }
    // A name the catalogue already has, in any letter case (the configuration file's keys
    // ignore it), is refused before the site is asked; so is an address followed already.
    if (!options.AddName.isNull()) {
        if (const comics::TComicInfo* holder = all.FindByNameIgnoringCase(options.AddName))
            return RefuseConsoleRun(comics::NameInUseText(holder->Name, options.AddName));
    }
    for (const QString& candidate : candidates)
        if (const comics::TComicInfo* followed = all.FindByAddress(candidate))
            return RefuseConsoleRun(QStringLiteral("Already followed as %1").arg(followed->Name));

    platform::TIniFile ini(options.Paths.IniPath);
    std::unique_ptr<update::TSourceProbe> probe;
    QString address;
    for (const QString& candidate : candidates) {
        probe = std::make_unique<update::TSourceProbe>(ini);
        QEventLoop loop;
        probe->OnDone = [&](update::TSourceProbe&) { loop.quit(); };
        probe->Start(candidate);
        loop.exec();
        if (probe->Found()) {
            address = candidate;
            break;
        }
    }
    if (!probe->Found())
        return RefuseConsoleRun(probe->Error());

    const update::TSourceFound& found = probe->Result();
    if (!probe->LinkedFeed().isEmpty())
        if (const comics::TComicInfo* followed = all.FindByAddress(probe->LinkedFeed()))
            return RefuseConsoleRun(QStringLiteral("Already followed as %1").arg(followed->Name));
    QString name = options.AddName;
    if (name.isNull()) {
        const QString proposed = comics::ComicNameFromTitle(found.Title);
        if (proposed.isEmpty())
            return RefuseConsoleRun(
                QStringLiteral("The %1 at %2 gives no title that can name the comic; give a name "
                               "with --name.")
                    .arg(found.Kind, address));
        // Another comic's name, in any letter case, would share its settings.
        name = comics::FreeComicName(
            proposed, [&all](const QString& n) { return all.FindByNameIgnoringCase(n) != nullptr; });
    }
    if (!comics::TUserCatalogue::Append(options.Paths.UserCataloguePath, name, found.Address, &why))
        return RefuseConsoleRun(QStringLiteral("Couldn't add %1 to the catalogue: %2.").arg(name, why));
    ini.WriteBool(QStringLiteral("Comics"), name, true);
    // A window running beside takes the comic in.
    TInstanceRequest changed;
    changed.Kind = TInstanceRequest::TKind::Catalogue;
    SingleInstance::Tell(options.Paths, changed);
    out << "Added " << name << ": " << found.Kind << ", newest strip "
        << found.NewestDay.toString(Qt::ISODate) << Qt::endl;
    return 0;
}

} // namespace pw::app
