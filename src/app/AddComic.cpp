#include "app/AddComic.h"

#include "app/ConsoleRun.h"
#include "comics/ComicName.h"
#include "comics/TComicInfo.h"
#include "comics/TComicsList.h"
#include "comics/TUserCatalogue.h"
#include "platform/Exception.h"
#include "platform/GuardedCoreApplication.h"
#include "platform/IniFile.h"
#include "platform/MessageBoxService.h"
#include "sources/AddressJoin.h"
#include "update/TSourceProbe.h"

#include <QCoreApplication>
#include <QEventLoop>

namespace pw::app {

namespace {

int Refuse(const QString& text)
{
    platform::MessageBoxService::Error(text);
    return 1;
}

} // namespace

int AddComic::Main(int argc, char** argv, TStartupOptions options)
{
    platform::GuardedCoreApplication app(argc, argv);
    PrepareConsoleRun(options);
    QTextStream out(stdout);
    return Run(options, out);
}

int AddComic::Run(const TStartupOptions& options, QTextStream& out)
{
    const QString address = options.AddAddress.trimmed();
    if (!sources::IsComicAddress(address))
        return Refuse(QStringLiteral("%1 is no http:// or https:// address (without blanks or control "
                                     "characters).")
                          .arg(address));
    QString why;
    if (!options.AddName.isNull() && !comics::IsAcceptableComicName(options.AddName, &why))
        return Refuse(QStringLiteral("The name \"%1\" cannot be used: %2.").arg(options.AddName, why));

    options.Paths.MakeFolders();
    comics::TComicsList all;
    try {
        all.LoadCatalogue(options.Paths.CataloguePath);
        all.LoadUserCatalogue(options.Paths.UserCataloguePath);
    } catch (const platform::Exception& e) {
        return Refuse(QStringLiteral("Couldn't read the comic catalogue (%1).").arg(e.Message()));
    }
    // A name the catalogue already has is refused before the site is asked.
    if (!options.AddName.isNull() && all.FindByName(options.AddName))
        return Refuse(
            QStringLiteral("A comic named \"%1\" is already in the catalogue.").arg(options.AddName));

    platform::TIniFile ini(options.Paths.IniPath);
    update::TSourceProbe probe(ini);
    QEventLoop loop;
    probe.OnDone = [&](update::TSourceProbe&) { loop.quit(); };
    probe.Start(address);
    loop.exec();
    if (!probe.Found())
        return Refuse(probe.Error());

    const update::TSourceFound& found = probe.Result();
    QString name = options.AddName;
    if (name.isNull()) {
        name = comics::ComicNameFromTitle(found.Title);
        if (name.isEmpty())
            return Refuse(QStringLiteral("The %1 at %2 gives no title that can name the comic; give a name "
                                         "with --name.")
                              .arg(found.Kind, address));
        if (all.FindByName(name))
            return Refuse(
                QStringLiteral("A comic named \"%1\" is already in the catalogue; give another name "
                               "with --name.")
                    .arg(name));
    }
    if (!comics::TUserCatalogue::Append(options.Paths.UserCataloguePath, name, found.Address, &why))
        return Refuse(QStringLiteral("Couldn't add %1 to the catalogue: %2.").arg(name, why));
    ini.WriteBool(QStringLiteral("Comics"), name, true);
    out << "Added " << name << ": " << found.Kind << ", newest strip "
        << found.NewestDay.toString(Qt::ISODate) << Qt::endl;
    return 0;
}

} // namespace pw::app
