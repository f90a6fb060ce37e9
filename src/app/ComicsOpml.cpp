#include "app/ComicsOpml.h"

#include "comics/ComicAddress.h"
#include "comics/ComicName.h"
#include "comics/ComicSite.h"
#include "comics/TComicInfo.h"
#include "comics/TComicsList.h"
#include "comics/TUserCatalogue.h"
#include "platform/IniFile.h"
#include "platform/SafeFile.h"
#include "sources/AddressJoin.h"
#include "sources/OpmlReader.h"
#include "sources/OpmlWriter.h"
#include "update/TSourceMemory.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QUrl>

namespace pw::app {

namespace {

// Browsers and some readers write a feed as feed://host/path or feed:https://host/path.
QString WithoutFeedScheme(const QString& address)
{
    if (address.startsWith(QLatin1String("feed://"), Qt::CaseInsensitive))
        return QStringLiteral("http://") + address.mid(7);
    if (address.startsWith(QLatin1String("feed:"), Qt::CaseInsensitive))
        return address.mid(5);
    return address;
}

QString Plural(qsizetype n, const char* one, const char* many)
{
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

// A title from the file as a message names it.
QString Shown(const QString& title)
{
    constexpr qsizetype kLongest = 80;
    return title.size() <= kLongest ? title : title.left(kLongest - 1) + QChar(0x2026);
}

struct Planned {
    QString name;
    QString address;
};

} // namespace

QString TOpmlImport::Text() const
{
    QString text = QStringLiteral("Imported ") + Plural(Imported.size(), "comic", "comics");
    if (!AlreadyFollowed.isEmpty())
        text += QStringLiteral("; ") + Plural(AlreadyFollowed.size(), "was", "were") +
                QStringLiteral(" already followed");
    if (!Refused.isEmpty()) {
        // A list of thousands of broken entries must not make a box taller than the screen.
        constexpr qsizetype kNamed = 5;
        text += QStringLiteral("; %1 refused: ").arg(Refused.size()) +
                Refused.mid(0, kNamed).join(QStringLiteral(", "));
        if (Refused.size() > kNamed)
            text += QStringLiteral(" and %1 more").arg(Refused.size() - kNamed);
    }
    return text + QLatin1Char('.');
}

TOpmlImport ComicsOpml::Import(const QString& file, comics::TComicsList& catalogue,
                               const QString& userCataloguePath, platform::TIniFile& ini)
{
    TOpmlImport result;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        result.FileError = QStringLiteral("Couldn't read %1: %2.").arg(file, f.errorString());
        return result;
    }
    if (f.size() > sources::OpmlDocument::kMaxBytes) {
        result.FileError = QStringLiteral("Couldn't import %1: it is larger than %2 MB.")
                               .arg(file)
                               .arg(sources::OpmlDocument::kMaxBytes / (1024 * 1024));
        return result;
    }
    const sources::OpmlDocument opml = sources::ReadOpml(f.read(sources::OpmlDocument::kMaxBytes + 1));
    if (!opml.Error.isEmpty()) {
        result.FileError = QStringLiteral("Couldn't import %1: %2.").arg(file, opml.Error);
        return result;
    }

    // Lists of thousands meet catalogues of thousands: names and addresses are looked up
    // in tables made once, not by a walk through the catalogue for every outline.
    QSet<QString> names;
    QHash<QString, const comics::TComicInfo*> known;
    for (int i = 0; i < catalogue.Count(); ++i) {
        const comics::TComicInfo* comic = catalogue.GetItem(i);
        names.insert(comic->Name.toCaseFolded());
        const QString key = comics::ComicAddressKey(comic->PageURL);
        if (!key.isEmpty() && !known.contains(key))
            known.insert(key, comic);
    }
    const QStringList catalogueNames = catalogue.Names();
    const std::vector<bool> chosen = ini.ReadBools(QStringLiteral("Comics"), catalogueNames, false);
    QSet<QString> chosenNames;
    for (qsizetype i = 0; i < catalogueNames.size(); ++i)
        if (chosen[static_cast<size_t>(i)])
            chosenNames.insert(catalogueNames[i]);
    QHash<QString, QString> plannedAt; // address key -> name
    std::vector<Planned> planned;
    QStringList newlyChosen;
    const auto nameTaken = [&](const QString& name) { return names.contains(name.toCaseFolded()); };
    for (const sources::OpmlOutline& outline : opml.Outlines) {
        const QString address = WithoutFeedScheme(outline.HasXmlUrl ? outline.XmlUrl : outline.Url);
        const QString title = Shown(outline.Title.isEmpty() ? address : outline.Title);
        if (address.isEmpty()) {
            result.Refused << QStringLiteral("%1 (no feed address)").arg(title);
            continue;
        }
        const QString key = comics::ComicAddressKey(address);
        if (!sources::IsComicAddress(address) || key.isEmpty()) {
            result.Refused
                << QStringLiteral("%1 (%2 is no http:// or https:// address)").arg(title, Shown(address));
            continue;
        }
        if (const comics::TComicInfo* comic = known.value(key)) {
            // A comic of the catalogue the user has not chosen yet is followed from now on.
            if (chosenNames.contains(comic->Name)) {
                result.AlreadyFollowed << QStringLiteral("%1 (as %2)").arg(title, comic->Name);
            } else {
                chosenNames.insert(comic->Name);
                newlyChosen << comic->Name;
                result.Imported << comic->Name;
            }
            continue;
        }
        if (const auto twice = plannedAt.constFind(key); twice != plannedAt.cend()) {
            result.AlreadyFollowed << QStringLiteral("%1 (as %2)").arg(title, *twice);
            continue;
        }
        // A list may give no title at all: the site's name then names the comic.
        QString name = comics::ComicNameFromTitle(outline.Title);
        if (name.isEmpty())
            name = comics::ComicNameFromTitle(QUrl(address).host());
        if (name.isEmpty()) {
            result.Refused << QStringLiteral("%1 (no usable name)").arg(title);
            continue;
        }
        name = comics::FreeComicName(name, nameTaken);
        names.insert(name.toCaseFolded());
        plannedAt.insert(key, name);
        planned.push_back({name, address});
    }
    ini.WriteBools(QStringLiteral("Comics"), newlyChosen, true);
    if (planned.empty())
        return result;
    // The catalogue's line first: a comic is chosen only once it is in the catalogue.

    std::vector<std::pair<QString, QString>> lines;
    for (const Planned& p : planned)
        lines.emplace_back(p.name, p.address);
    QString why;
    if (!comics::TUserCatalogue::Append(userCataloguePath, lines, &why)) {
        result.FileError = QStringLiteral("Couldn't add the comics to the catalogue: %1.").arg(why);
        return result;
    }
    QStringList added;
    for (const Planned& p : planned) {
        auto comic = std::make_unique<comics::TComicInfo>(p.name, p.address);
        comic->UserAdded = true;
        catalogue.AddOwned(std::move(comic));
        added << p.name;
    }
    result.Imported << added;
    ini.WriteBools(QStringLiteral("Comics"), added, true);
    return result;
}

bool ComicsOpml::Export(const QString& file, const comics::TComicsList& comics, const QString& comicsDir,
                        QString* error)
{
    std::vector<sources::OpmlOutline> outlines;
    const QString builtIn = QString::fromLatin1(comics::kComicSiteBase);
    for (int i = 0; i < comics.Count(); ++i) {
        const comics::TComicInfo& comic = *comics.GetItem(i);
        sources::OpmlOutline o;
        o.Title = comic.Name;
        // What the last update learnt: a page that links its feed.
        const update::TSourceMemory memory =
            comic.Name.isEmpty() ? update::TSourceMemory()
                                 : update::TSourceMemory::Load(
                                       update::TSourceMemory::PathIn(QDir(comicsDir).filePath(comic.Name)));
        if (!memory.Feed.isEmpty()) {
            o.XmlUrl = memory.Feed;
            o.HtmlUrl = comic.PageURL;
        } else if (comic.PageURL.startsWith(builtIn)) {
            o.Url = comic.PageURL;
        } else {
            o.XmlUrl = comic.PageURL;
        }
        outlines.push_back(std::move(o));
    }
    const QByteArray bytes =
        sources::WriteOpml(QStringLiteral("Panelwick comics"), outlines, QDateTime::currentDateTimeUtc());
    if (platform::SafeFile::Write(file, bytes))
        return true;
    if (error)
        *error = QStringLiteral("Couldn't write %1.").arg(file);
    return false;
}

} // namespace pw::app
