// Adding comics of the user's own: the File menu's "&Add Comic...", the settings dialog's
// "Add comic…" and the first start with nothing to choose.
#include "app/TForm1.h"

#include "app/ComicAdding.h"
#include "app/TfrmAddComic.h"
#include "app/TfrmSettings.h"
#include "app/UpdateHooks.h"
#include "comics/TComicInfo.h"
#include "comics/TUserCatalogue.h"
#include "platform/IniFile.h"

#include <QComboBox>
#include <QLineEdit>

namespace pw::app {

TComicAdding TForm1::ComicAdding()
{
    // The user's own comics: added to and removed from MyComics.urls and the catalogue at
    // once, so that the window follows even when the settings dialog is then cancelled.
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
    adding.Add = [this](const QString& name, const QString& address, QString* error) {
        if (!comics::TUserCatalogue::Append(options_.Paths.UserCataloguePath, name, address, error))
            return false;
        auto comic = std::make_unique<comics::TComicInfo>(name, address);
        comic->UserAdded = true;
        allComics_.AddOwned(std::move(comic));
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
