// Adding comics of the user's own: the File menu's "&Add Comic...", the settings dialog's
// "Add comic…" and the first start with nothing to choose.
#include "app/TForm1.h"

#include "app/ComicAdding.h"
#include "app/TfrmAddComic.h"
#include "app/TfrmSettings.h"
#include "app/UpdateHooks.h"
#include "comics/ComicAddress.h"
#include "comics/TComicInfo.h"
#include "comics/TComicRename.h"
#include "comics/TComicStripsDB.h"
#include "comics/TUserCatalogue.h"
#include "platform/IniFile.h"
#include "update/TSourceMemory.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>

namespace pw::app {

TComicAdding TForm1::ComicAdding()
{
    // The user's own comics: MyComics.urls and the catalogue change together.
    TComicAdding adding;
    adding.NameHolder = [this](const QString& name) {
        const comics::TComicInfo* comic = allComics_.FindByNameIgnoringCase(name);
        return comic ? comic->Name : QString();
    };
    adding.FollowedAs = [this](const QString& address) {
        const comics::TComicInfo* comic = allComics_.FindByAddress(address);
        return comic ? comic->Name : QString();
    };
    adding.IsUserComic = [this](const QString& name) {
        const comics::TComicInfo* comic = allComics_.FindByName(name);
        return comic && comic->UserAdded;
    };
    adding.Append = [this](const QString& name, const QString& address, QString* error) {
        if (!comics::TUserCatalogue::Append(options_.Paths.UserCataloguePath, name, address, error))
            return false;
        auto comic = std::make_unique<comics::TComicInfo>(name, address);
        comic->UserAdded = true;
        // A comic removed once keeps its strips: they come back with it.
        comic->CurrentStrip = stripsDB_->FirstUnreadStrip(name);
        if (!comic->CurrentStrip)
            comic->CurrentStrip = stripsDB_->NewestStrip(name);
        allComics_.AddOwned(std::move(comic));
        return true;
    };
    adding.Add = [this, append = adding.Append](const QString& name, const QString& address, QString* error) {
        if (!append(name, address, error))
            return false;
        ini_->WriteBool(QStringLiteral("Comics"), name, true);
        ApplyChoice(comboComics->currentText());
        // Its strips at once, not at the next update.
        updates_->UpdateComic(name);
        return true;
    };
    adding.Remove = [this](const QString& name, QString* error) {
        comics::TComicInfo* comic = allComics_.FindByName(name);
        if (!comic || !comic->UserAdded)
            return true;
        if (!comics::TUserCatalogue::Remove(options_.Paths.UserCataloguePath, name, error))
            return false;
        ini_->WriteBool(QStringLiteral("Comics"), name, false);
        allComics_.Withdraw(comic); // its strips stay on disk
        ApplyChoice(comboComics->currentText());
        return true;
    };
    adding.Edit = [this](const QString& oldName, const QString& newName, const QString& address,
                         QString* error) {
        comics::TComicInfo* comic = allComics_.FindByName(oldName);
        if (!comic || !comic->UserAdded) {
            *error = QStringLiteral("it is not a comic of your own");
            return false;
        }
        // A running update writes into the comic's folder under its old name.
        if (updates_->Busy()) {
            *error = QStringLiteral("comics are being updated; press Ok again when the update has finished");
            return false;
        }
        comics::TComicRename rename(stripsDB_->Dir(), options_.Paths.UserCataloguePath, *ini_);
        if (!rename.Run(oldName, newName, address, error))
            return false;
        const bool moved = !comics::SameComicAddress(comic->PageURL, address);
        comic->Name = newName;
        comic->PageURL = address;
        if (comic->CurrentStrip) {
            const QString file =
                comics::TComicRename::RenamedFile(comic->CurrentStrip->FileName, oldName, newName);
            comic->CurrentStrip = comics::TComicStrip::FromFileName(file, stripsDB_->Dir());
        }
        if (!comic->CurrentStrip)
            comic->CurrentStrip = stripsDB_->FirstUnreadStrip(newName);
        if (!comic->CurrentStrip)
            comic->CurrentStrip = stripsDB_->NewestStrip(newName);
        // What the old address answered last says nothing about the new one.
        if (moved)
            QFile::remove(update::TSourceMemory::PathIn(stripsDB_->ComicFolder(newName)));
        return true;
    };
    adding.RunModal = RunAddComicModal;
    return adding;
}

void TForm1::ConnectComicAdding()
{
    settings_->Adding = ComicAdding();
}

QString TForm1::RunAddComic(const QString& address)
{
    TfrmAddComic dialog(*ini_, ComicAdding(), isVisible() ? this : nullptr);
    if (!address.isEmpty()) {
        dialog.editAddress->setText(address);
        dialog.btnLookClick();
    }
    const bool added = RunAddComicModal ? RunAddComicModal(dialog) : dialog.exec() == QDialog::Accepted;
    return added ? dialog.AddedName() : QString();
}

void TForm1::AddComic1Click()
{
    AddComicAt(QString());
}

void TForm1::AddComicAt(const QString& address)
{
    const QString name = RunAddComic(address);
    if (name.isEmpty())
        return;
    // Shown now ("no strips yet"), and its strip as soon as the update brings it.
    const int index = comboComics->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0)
        return;
    comboComics->setCurrentIndex(index);
    ShowComic(name);
}

} // namespace pw::app
