#pragma once

#include <QString>
#include <optional>

namespace pw::platform {
class TIniFile;
}

namespace pw::comics {

// Renames a comic of the user's own catalogue with everything named after it: its folder
// in the comics folder, the strip files that begin with its name and a strip date (with
// whatever follows the date), the unread marker file and its lines, the words file's
// lines, its catalogue line, its choice key and the settings that name it (the current
// comic, the wallpaper comic). A new address may come with it.
//
// The steps cannot all be one rename, so the rename is written down first (a journal
// beside the user's catalogue) and every step is one that can be done again: a crash
// leaves the journal, and Resume at the next start finishes the rename from wherever it
// stopped. The folder goes first: it is the step that can be refused (a folder of the new
// name exists, the comics folder cannot be written), and when it is, nothing has changed.
class TComicRename {
public:
    TComicRename(QString comicsDir, QString userCataloguePath, platform::TIniFile& ini);

    // False with *error when the rename was refused (nothing changed) or could not be
    // finished (the journal stays; Resume finishes it). A rename to the same name only
    // changes the address.
    bool Run(const QString& oldName, const QString& newName, const QString& newAddress, QString* error);
    // Finishes a rename a crash interrupted; true when there was none or it is finished.
    bool Resume(QString* error);

    static QString JournalPath(const QString& userCataloguePath);
    // The name a file of the old comic's folder takes: newName and the rest when the file
    // is one of oldName's strips (oldName, an eight-digit date, then no further digit),
    // else empty.
    static QString RenamedFile(const QString& fileName, const QString& oldName, const QString& newName);

private:
    struct Journal {
        QString from;
        QString to;
        QString address;
        bool chosen = false;
    };
    // The rename written down and not yet finished; a journal that is not whole is dropped.
    std::optional<Journal> ReadJournal() const;
    bool Finish(const Journal& journal, bool first, QString* error);
    bool MoveFolder(const Journal& journal, QString* error);
    bool RenameStrips(const Journal& journal, QString* error);
    bool RenameMarker(const Journal& journal, QString* error);
    bool RenameWords(const Journal& journal, QString* error);
    void RenameSettings(const Journal& journal);

    QString dir_; // ends in "/"
    QString userCatalogue_;
    platform::TIniFile& ini_;
};

} // namespace pw::comics
