#include "comics/TComicsList.h"

#include "comics/ComicAddress.h"
#include "comics/TComicStripsDB.h"
#include "comics/TextLines.h"
#include "platform/Exception.h"
#include "platform/IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace pw::comics {

std::vector<std::pair<QString, QString>> TComicsList::ParseCatalogue(const QByteArray& bytes)
{
    std::vector<std::pair<QString, QString>> entries;
    const std::vector<std::string_view> lines = SplitLines(bytes);
    entries.reserve(lines.size());
    for (const std::string_view line : lines) {
        const size_t tab = line.find('\t');
        if (tab == std::string_view::npos) {
            entries.emplace_back(QString(),
                                 QString::fromLocal8Bit(line.data(), static_cast<qsizetype>(line.size())));
            continue;
        }
        const std::string_view name = line.substr(0, tab);
        const std::string_view address = line.substr(tab + 1);
        entries.emplace_back(QString::fromLocal8Bit(name.data(), static_cast<qsizetype>(name.size())),
                             QString::fromLocal8Bit(address.data(), static_cast<qsizetype>(address.size())));
    }
    return entries;
}

void TComicsList::LoadCatalogue(const QString& path, const TComicStripsDB& db)
{
    LoadCatalogue(path);
    FindCurrentStrips(db);
}

void TComicsList::LoadCatalogue(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw platform::Exception(
            QStringLiteral("Unable to read the comic list %1: %2").arg(path, file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw platform::Exception(
            QStringLiteral("Unable to read the comic list %1: %2").arg(path, file.errorString()));
    for (auto& [name, address] : ParseCatalogue(bytes)) {
        if (!StorableName(name)) {
            refused_.append(name);
            continue;
        }
        AddOwned(std::make_unique<TComicInfo>(std::move(name), std::move(address)));
    }
}

bool TComicsList::StorableName(const QString& name)
{
    // A name is a key of [Comics] in the configuration file, which other tools read too:
    // it must not be another key of that section nor need a character the file format
    // cannot hold in a key.
    for (const char* key : {"ComicsDir", "CurrentComic"}) {
        if (name.compare(QLatin1String(key), Qt::CaseInsensitive) == 0)
            return false;
    }
    const auto special = [](QChar c) {
        return c == QLatin1Char('=') || c == QLatin1Char('[') || c == QLatin1Char(']') ||
               c == QLatin1Char('\n') || c == QLatin1Char('\r');
    };
    return std::none_of(name.begin(), name.end(), special) && name == name.trimmed();
}

void TComicsList::LoadUserCatalogue(const QString& path)
{
    if (!QFileInfo::exists(path))
        return;
    const size_t before = items_.size();
    LoadCatalogue(path);
    for (size_t i = before; i < items_.size(); ++i)
        items_[i]->UserAdded = true;
}

void TComicsList::FindCurrentStrips(const TComicStripsDB& db)
{
    // One listing of the comics folder spares two failing look-ups for every comic that
    // has no folder yet (most of a large catalogue).
    const QStringList listed =
        QDir(db.Dir()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    const QSet<QString> present(listed.begin(), listed.end());
    for (TComicInfo* comic : items_) {
        if (comic->Name.isEmpty() || present.contains(comic->Name)) {
            comic->CurrentStrip = db.FirstUnreadStrip(comic->Name);
            if (!comic->CurrentStrip)
                comic->CurrentStrip = db.NewestStrip(comic->Name);
        }
    }
}

TComicInfo* TComicsList::FindByName(const QString& name) const
{
    const auto it =
        std::find_if(items_.begin(), items_.end(), [&](const TComicInfo* c) { return c->Name == name; });
    return it == items_.end() ? nullptr : *it;
}

TComicInfo* TComicsList::FindByNameIgnoringCase(const QString& name) const
{
    // Folded as the configuration file folds its keys.
    const QString folded = name.toCaseFolded();
    const auto it = std::find_if(items_.begin(), items_.end(),
                                 [&](const TComicInfo* c) { return c->Name.toCaseFolded() == folded; });
    return it == items_.end() ? nullptr : *it;
}

TComicInfo* TComicsList::FindByAddress(const QString& address) const
{
    const auto it = std::find_if(items_.begin(), items_.end(),
                                 [&](const TComicInfo* c) { return SameComicAddress(c->PageURL, address); });
    return it == items_.end() ? nullptr : *it;
}

std::vector<std::pair<QString, QString>> TComicsList::CaseClashes() const
{
    std::vector<std::pair<QString, QString>> clashes;
    std::unordered_map<std::string, const QString*> first; // folded name -> the first name seen
    first.reserve(items_.size());
    QSet<QString> told;
    for (const TComicInfo* comic : items_) {
        const QString& name = comic->Name;
        // Names clash when the configuration file writes them under one key.
        const auto [seen, added] = first.try_emplace(platform::TIniFile::FoldedKey(name), &name);
        if (!added && *seen->second != name && !told.contains(name)) {
            told.insert(name);
            clashes.emplace_back(*seen->second, name);
        }
    }
    return clashes;
}

void TComicsList::Withdraw(const TComicInfo* comic)
{
    items_.erase(std::remove(items_.begin(), items_.end(), comic), items_.end());
}

int TComicsList::IndexOf(const TComicInfo* comic) const
{
    const auto it = std::find(items_.begin(), items_.end(), comic);
    return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

void TComicsList::AddUnique(TComicInfo* comic)
{
    if (IndexOf(comic) < 0)
        items_.push_back(comic);
}

QStringList TComicsList::Names() const
{
    QStringList names;
    names.reserve(Count());
    for (const TComicInfo* comic : items_)
        names.append(comic->Name);
    return names;
}

void TComicsList::SplitChosen(const platform::TIniFile& ini, TComicsList& toGet, TComicsList& notToGet) const
{
    // One read of the file for the whole split: the same answers as one read per key.
    const std::vector<bool> chosen = ini.ReadBools(QStringLiteral("Comics"), Names(), false);
    // What each list holds, so that adding without doubles needs no search of the list
    // per comic (a large catalogue has thousands).
    std::unordered_set<const TComicInfo*> held(toGet.items_.begin(), toGet.items_.end());
    held.insert(notToGet.items_.begin(), notToGet.items_.end());
    for (size_t i = 0; i < items_.size(); ++i) {
        TComicsList& list = chosen[i] ? toGet : notToGet;
        if (held.insert(items_[i]).second || list.IndexOf(items_[i]) < 0)
            list.items_.push_back(items_[i]);
    }
}

TComicInfo* TComicsList::AddOwned(std::unique_ptr<TComicInfo> comic)
{
    TComicInfo* raw = comic.get();
    owned_.push_back(std::move(comic));
    items_.push_back(raw);
    return raw;
}

} // namespace pw::comics
