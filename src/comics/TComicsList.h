#pragma once

#include "TComicInfo.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace pw::platform {
class TIniFile;
}

namespace pw::comics {

class TComicStripsDB;

// An ordered list of catalogue entries. The catalogue (AllComics) owns its entries;
// the chosen and not-chosen lists only refer to them.
class TComicsList {
public:
    TComicsList() = default;
    TComicsList(const TComicsList&) = delete;
    TComicsList& operator=(const TComicsList&) = delete;

    // Reads Comics.urls (CR LF, LF or CR; name before the first TAB, address after it;
    // nothing trimmed, duplicates and empty lines kept) and gives each entry its
    // CurrentStrip (first unread, else newest). Throws platform::Exception when the file
    // cannot be read.
    void LoadCatalogue(const QString& path, const TComicStripsDB& db);
    // The same without CurrentStrip, for runs that show no strip: no look into the
    // comics' folders.
    void LoadCatalogue(const QString& path);
    // Names the catalogue listed that cannot be kept as a key in the configuration file
    // (see StorableName); their entries are left out.
    const QStringList& RefusedNames() const { return refused_; }
    // False for a name that is another key of [Comics] ("ComicsDir", "CurrentComic"),
    // holds "=", "[", "]" or a line break, or starts or ends with a blank.
    static bool StorableName(const QString& name);
    // The user's own catalogue (MyComics.urls), appended with UserAdded set; a missing
    // file adds nothing. Throws like LoadCatalogue when it cannot be read.
    void LoadUserCatalogue(const QString& path);
    // Gives every entry its CurrentStrip (first unread, else newest).
    void FindCurrentStrips(const TComicStripsDB& db);
    // Pure parse of the catalogue bytes into (name, address) pairs.
    static std::vector<std::pair<QString, QString>> ParseCatalogue(const QByteArray& bytes);

    TComicInfo* FindByName(const QString& name) const; // first exact match or nullptr
    // The first entry whose name equals name without regard to case: names are keys of the
    // configuration file, which matches keys so, and two such comics would share a key.
    TComicInfo* FindByNameIgnoringCase(const QString& name) const;
    // The first entry at the same address (see SameComicAddress); nullptr when none.
    TComicInfo* FindByAddress(const QString& address) const;
    // Pairs of names that differ only in case (first seen, then the other), each pair once.
    std::vector<std::pair<QString, QString>> CaseClashes() const;
    int Count() const { return static_cast<int>(items_.size()); }
    TComicInfo* GetItem(int index) const { return items_.at(static_cast<size_t>(index)); }
    int IndexOf(const TComicInfo* comic) const; // by identity; -1 when absent
    void AddUnique(TComicInfo* comic);
    void Clear() { items_.clear(); }
    QStringList Names() const; // in list order, for list controls

    // Called on the catalogue: every entry, in order, to toGet when its [Comics] key
    // (named as the entry) reads true (default false), else to notToGet.
    void SplitChosen(const platform::TIniFile& ini, TComicsList& toGet, TComicsList& notToGet) const;

    // Takes the entry out of the list; an owned entry stays alive for the run, since
    // other parts may still refer to it.
    void Withdraw(const TComicInfo* comic);

    // Appends an entry owned by this list (the catalogue).
    TComicInfo* AddOwned(std::unique_ptr<TComicInfo> comic);

private:
    std::vector<TComicInfo*> items_;
    std::vector<std::unique_ptr<TComicInfo>> owned_;
    QStringList refused_;
};

} // namespace pw::comics
