#include "app/TfrmSettings.h"

#include "app/TfrmAddComic.h"
#include "app/TfrmEditComic.h"

#include "app/DesktopIntegration.h"
#include "app/TimeOfDayText.h"
#include "comics/ComicAddress.h"
#include "comics/ComicName.h"
#include "comics/TComicInfo.h"
#include "comics/TComicsList.h"
#include "platform/EditLeaving.h"
#include "platform/ExceptionGuard.h"
#include "platform/IniFile.h"
#include "platform/MessageBoxService.h"
#include "platform/Tunables.h"
#include "sources/AddressJoin.h"
#include "update/SimDownloads.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QTabWidget>
#include <QTimeEdit>
#include <utility>

namespace pw::app {

using platform::MessageBoxService;

namespace {
const QString kComics = QStringLiteral("Comics");
const QString kDownloads = QStringLiteral("Downloads");
const QString kUpdates = QStringLiteral("Updates");
const QString kMisc = QStringLiteral("Misc");
const QString kProxy = QStringLiteral("Proxy");
const QString kSelectOne = QStringLiteral("You have to select at least one comic");

bool ValidMaxDownloads(const QString& text)
{
    bool ok = false;
    const int n = text.toInt(&ok);
    return ok && n >= update::kMinSimDownloads && n <= update::kMaxSimDownloads;
}

// Empty when the port is acceptable, else the message that refuses it.
QString PortProblem(const QString& text)
{
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok)
        return QStringLiteral("Not a valid number");
    if (n <= 0)
        return QStringLiteral("Please enter a positive number");
    return {};
}
} // namespace

TfrmSettings::TfrmSettings(platform::TIniFile& ini, const comics::TComicsList& comicsToGet,
                           const comics::TComicsList& comicsNotToGet,
                           std::function<TDesktopIntegration&()> desktop, QWidget* parent)
    : QDialog(parent), ini_(ini), comicsToGet_(comicsToGet), comicsNotToGet_(comicsNotToGet),
      desktop_(std::move(desktop))
{
    CreateControls();
    ConnectControls();
    setModal(true);
}

void TfrmSettings::showEvent(QShowEvent* event)
{
    if (!event->spontaneous())
        platform::Guarded([this] { FormShow(); });
    QDialog::showEvent(event);
}

void TfrmSettings::InsertSorted(QListWidget* list, const QString& text)
{
    int row = list->count();
    for (int i = 0; i < list->count(); ++i) {
        if (QString::compare(text, list->item(i)->text(), Qt::CaseInsensitive) < 0) {
            row = i;
            break;
        }
    }
    list->insertItem(row, text);
}

void TfrmSettings::SetFrequency(QRadioButton* radio, bool checked)
{
    if (!checked) {
        radio->setChecked(false);
        return;
    }
    for (QRadioButton* r : {radioUpdateManually, radioUpdateProgramStart, radioUpdateDaily})
        r->setChecked(r == radio);
}

void TfrmSettings::FormShow()
{
    lstboxComicsNotToGet->clear();
    lstboxComicsToGet->clear();
    for (const QString& name : comicsNotToGet_.Names())
        InsertSorted(lstboxComicsNotToGet, name);
    lstboxComicsToGet->addItems(comicsToGet_.Names());
    countAtOpening_ = lstboxComicsToGet->count();
    changes_.clear();
    addedOnOk_.clear();
    renamedOnOk_.clear();
    UpdateRemoveButton();

    MaxDownloadsEdit->setText(QString::number(update::MaxSimDownloads(ini_)));

    chkboxAdvancedInfo->setChecked(ini_.ReadBool(kUpdates, QStringLiteral("ShowAdvancedInfo"), false));
    chkboxNotifyNewStrips->setChecked(ini_.ReadBool(kUpdates, QStringLiteral("NotifyNewStrips"), true));
    // All three may read false: then none is checked, which exclusive buttons cannot show.
    for (QRadioButton* r : {radioUpdateManually, radioUpdateProgramStart, radioUpdateDaily})
        r->setAutoExclusive(false);
    SetFrequency(radioUpdateManually, ini_.ReadBool(kUpdates, QStringLiteral("UpdateOnlyManually"), false));
    SetFrequency(radioUpdateProgramStart,
                 ini_.ReadBool(kUpdates, QStringLiteral("UpdateProgramStart"), true));
    SetFrequency(radioUpdateDaily, ini_.ReadBool(kUpdates, QStringLiteral("UpdateDaily"), false));
    for (QRadioButton* r : {radioUpdateManually, radioUpdateProgramStart, radioUpdateDaily})
        r->setAutoExclusive(true);

    const auto time =
        TimeOfDayText::FromText(ini_.ReadString(kUpdates, QStringLiteral("UpdateTime"), QString()));
    UpdateTime->setTime(time ? *time : platform::Tunables::Now().time());

    // The user's choice, unless the desktop's own settings have switched autostart off since.
    chkboxAutoStart->setChecked(ini_.ReadBool(kMisc, QStringLiteral("AutoStart"), true) &&
                                !desktop_().AutostartSwitchedOff());
    chkboxStartMinimized->setChecked(ini_.ReadBool(kMisc, QStringLiteral("StartMinimized"), false));

    chkboxUseProxy->setChecked(ini_.ReadBool(kProxy, QStringLiteral("UseProxy"), false));
    editProxyIP->setText(ini_.ReadString(kProxy, QStringLiteral("ProxyIP"), QString()));
    editProxyPort->setText(ini_.ReadString(kProxy, QStringLiteral("ProxyPort"), QStringLiteral("80")));
    chkboxUseProxyClick();

    cancelRefused_ = false;
}

void TfrmSettings::MoveSelected(QListWidget* from, QListWidget* to, bool sorted)
{
    int i = 0;
    while (i < from->count()) {
        QListWidgetItem* item = from->item(i);
        if (!item->isSelected()) {
            ++i;
            continue;
        }
        const QString text = item->text();
        delete from->takeItem(i);
        if (sorted)
            InsertSorted(to, text);
        else
            to->addItem(text);
    }
}

void TfrmSettings::btnAddComicClick()
{
    MoveSelected(lstboxComicsNotToGet, lstboxComicsToGet, false);
}

const comics::TComicInfo* TfrmSettings::Catalogued(const QString& name) const
{
    if (const comics::TComicInfo* comic = comicsToGet_.FindByName(name))
        return comic;
    return comicsNotToGet_.FindByName(name);
}

const TfrmSettings::TUserComicChange* TfrmSettings::ChangeFor(const QString& shownName) const
{
    for (const TUserComicChange& c : changes_)
        if (!c.Removed && c.Name == shownName)
            return &c;
    return nullptr;
}

TfrmSettings::TUserComicChange* TfrmSettings::ChangeFor(const QString& shownName)
{
    return const_cast<TUserComicChange*>(std::as_const(*this).ChangeFor(shownName));
}

TfrmSettings::TUserComicChange& TfrmSettings::EnsureChange(const QString& shownName)
{
    if (TUserComicChange* c = ChangeFor(shownName))
        return *c;
    changes_.push_back({shownName, shownName, AddressOf(shownName)});
    return changes_.back();
}

bool TfrmSettings::IsUserComic(const QString& shownName) const
{
    if (ChangeFor(shownName))
        return true;
    const comics::TComicInfo* comic = Catalogued(shownName);
    return comic && comic->UserAdded;
}

QString TfrmSettings::AddressOf(const QString& shownName) const
{
    if (const TUserComicChange* c = ChangeFor(shownName))
        return c->Address;
    const comics::TComicInfo* comic = Catalogued(shownName);
    return comic ? comic->PageURL : QString();
}

QString TfrmSettings::NameHolder(const QString& name, const QString& editing) const
{
    const QString folded = name.toCaseFolded();
    for (const TUserComicChange& c : changes_)
        if (!c.Removed && c.Name != editing && c.Name.toCaseFolded() == folded)
            return c.Name;
    const QString holder = Adding.NameHolder ? Adding.NameHolder(name) : QString();
    if (holder.isEmpty())
        return {};
    // A comic renamed here still holds its old name until OK, unless it is the one edited.
    for (const TUserComicChange& c : changes_)
        if (c.Original == holder)
            return c.Name == editing && !c.Removed ? QString() : holder;
    return holder == editing ? QString() : holder;
}

QString TfrmSettings::FollowedAs(const QString& address, const QString& editing) const
{
    for (const TUserComicChange& c : changes_)
        if (!c.Removed && c.Name != editing && comics::SameComicAddress(c.Address, address))
            return c.Name;
    const QString holder = Adding.FollowedAs ? Adding.FollowedAs(address) : QString();
    if (holder.isEmpty())
        return {};
    for (const TUserComicChange& c : changes_)
        if (c.Original == holder)
            return c.Name == editing || !comics::SameComicAddress(c.Address, address) ? QString() : c.Name;
    return holder == editing ? QString() : holder;
}

QStringList TfrmSettings::SelectedUserComics() const
{
    QStringList names;
    for (const QListWidget* list : {lstboxComicsNotToGet, lstboxComicsToGet})
        for (const QListWidgetItem* item : list->selectedItems())
            if (IsUserComic(item->text()))
                names << item->text();
    return names;
}

void TfrmSettings::UpdateRemoveButton()
{
    // Shipped comics can only be unchosen; only the user's own can go or change.
    const QStringList own = SelectedUserComics();
    btnRemoveComic->setEnabled(!own.isEmpty());
    btnEditComic->setEnabled(own.size() == 1);
}

void TfrmSettings::btnNewComicClick()
{
    if (!Adding.Append)
        return;
    // The dialog finds the comic; it reaches the catalogue on OK here.
    TComicAdding staged = Adding;
    staged.NameHolder = [this](const QString& name) { return NameHolder(name, QString()); };
    staged.FollowedAs = [this](const QString& address) { return FollowedAs(address, QString()); };
    staged.Add = [this](const QString& name, const QString& address, QString*) {
        changes_.push_back({QString(), name, address});
        return true;
    };
    TfrmAddComic dialog(ini_, staged, this);
    const bool added = Adding.RunModal ? Adding.RunModal(dialog) : dialog.exec() == QDialog::Accepted;
    if (!added || dialog.AddedName().isEmpty())
        return;
    // Added and chosen: it goes to the comics to update.
    lstboxComicsToGet->addItem(dialog.AddedName());
}

void TfrmSettings::btnRemoveComicClick()
{
    const QStringList names = SelectedUserComics();
    if (names.isEmpty())
        return;
    const QString question =
        names.size() == 1
            ? QStringLiteral("Remove \"%1\" from your comics? Its strips stay on disk.").arg(names.first())
            : QStringLiteral("Remove these %1 comics from your comics? Their strips stay on disk.")
                  .arg(names.size());
    if (!MessageBoxService::Question(question))
        return;
    for (const QString& name : names) {
        TUserComicChange* c = ChangeFor(name);
        if (c && c->Original.isEmpty())
            changes_.erase(changes_.begin() + (c - changes_.data()));
        else
            EnsureChange(name).Removed = true;
        for (QListWidget* list : {lstboxComicsNotToGet, lstboxComicsToGet})
            for (QListWidgetItem* item : list->findItems(name, Qt::MatchExactly))
                delete item;
    }
    UpdateRemoveButton();
}

QString TfrmSettings::EditProblem(const QString& shownName, const QString& name, const QString& address) const
{
    QString why;
    if (!comics::IsAcceptableComicName(name, &why))
        return QStringLiteral("The name \"%1\" cannot be used: %2.").arg(name, why);
    if (const QString holder = NameHolder(name, shownName); !holder.isEmpty())
        return comics::NameInUseText(holder, name);
    if (!sources::IsComicAddress(address))
        return QStringLiteral("%1 is no http:// or https:// address (without blanks or control characters).")
            .arg(address);
    if (const QString followed = FollowedAs(address, shownName); !followed.isEmpty())
        return QStringLiteral("Already followed as %1").arg(followed);
    return {};
}

void TfrmSettings::RenameItems(const QString& from, const QString& to)
{
    for (QListWidgetItem* item : lstboxComicsToGet->findItems(from, Qt::MatchExactly))
        item->setText(to);
    for (QListWidgetItem* item : lstboxComicsNotToGet->findItems(from, Qt::MatchExactly)) {
        const bool selected = item->isSelected();
        delete item;
        InsertSorted(lstboxComicsNotToGet, to); // the list stays sorted
        for (QListWidgetItem* moved : lstboxComicsNotToGet->findItems(to, Qt::MatchExactly))
            moved->setSelected(selected);
    }
}

void TfrmSettings::btnEditComicClick()
{
    const QStringList names = SelectedUserComics();
    if (names.size() != 1 || !Adding.Edit)
        return;
    const QString shown = names.first();
    TfrmEditComic dialog(shown, AddressOf(shown), this);
    dialog.Check = [this, shown](const QString& name, const QString& address) {
        return EditProblem(shown, name, address);
    };
    const bool taken = RunEditModal ? RunEditModal(dialog) : dialog.exec() == QDialog::Accepted;
    if (!taken || dialog.NewName().isEmpty())
        return;
    TUserComicChange& c = EnsureChange(shown);
    c.Name = dialog.NewName();
    c.Address = dialog.NewAddress();
    RenameItems(shown, c.Name);
    UpdateRemoveButton();
}

bool TfrmSettings::CommitComicChanges()
{
    // Out first and in last, so that a comic removed or renamed here frees what it held.
    const auto commit = [this](const auto& wanted, const auto& apply) {
        for (auto it = changes_.begin(); it != changes_.end();) {
            if (!wanted(*it)) {
                ++it;
                continue;
            }
            if (!apply(*it))
                return false;
            it = changes_.erase(it); // done: another OK does not do it again
        }
        return true;
    };
    QString why;
    return commit([](const TUserComicChange& c) { return c.Removed; },
                  [&](const TUserComicChange& c) {
                      if (c.Original.isEmpty() || (Adding.Remove && Adding.Remove(c.Original, &why)))
                          return true;
                      MessageBoxService::Error(
                          QStringLiteral("Couldn't remove %1: %2.").arg(c.Original, why));
                      return false;
                  }) &&
           commit([](const TUserComicChange& c) { return !c.Original.isEmpty(); },
                  [&](const TUserComicChange& c) {
                      const comics::TComicInfo* before = Catalogued(c.Original);
                      if (c.Name == c.Original && before && before->PageURL == c.Address)
                          return true;
                      if (!Adding.Edit || !Adding.Edit(c.Original, c.Name, c.Address, &why)) {
                          MessageBoxService::Error(
                              QStringLiteral("Couldn't change %1: %2.").arg(c.Original, why));
                          return false;
                      }
                      renamedOnOk_.insert(c.Original, c.Name);
                      return true;
                  }) &&
           commit([](const TUserComicChange&) { return true; },
                  [&](const TUserComicChange& c) {
                      if (!Adding.Append || !Adding.Append(c.Name, c.Address, &why)) {
                          MessageBoxService::Error(QStringLiteral("Couldn't add %1: %2.").arg(c.Name, why));
                          return false;
                      }
                      addedOnOk_ << c.Name;
                      return true;
                  });
}

void TfrmSettings::btnDeleteComicClick()
{
    MoveSelected(lstboxComicsToGet, lstboxComicsNotToGet, true);
}

void TfrmSettings::chkboxUseProxyClick()
{
    editProxyIP->setEnabled(chkboxUseProxy->isChecked());
    editProxyPort->setEnabled(chkboxUseProxy->isChecked());
}

void TfrmSettings::Refuse(QWidget* field, const QString& message)
{
    checking_ = true; // the box itself takes the focus away from the field
    MessageBoxService::Information(message);
    for (QWidget* tab : {tabComics, tabUpdates, tabProxy, tabMisc}) {
        if (tab->isAncestorOf(field))
            PageControl1->setCurrentWidget(tab);
    }
    field->setFocus(Qt::OtherFocusReason);
    checking_ = false;
}

bool TfrmSettings::MaxDownloadsEditExit()
{
    if (ValidMaxDownloads(MaxDownloadsEdit->text()))
        return true;
    Refuse(MaxDownloadsEdit, QStringLiteral("Please enter a number between 1 and 99."));
    return false;
}

bool TfrmSettings::editProxyPortExit()
{
    const QString problem = PortProblem(editProxyPort->text());
    if (problem.isEmpty())
        return true;
    Refuse(editProxyPort, problem);
    return false;
}

bool TfrmSettings::eventFilter(QObject* watched, QEvent* event)
{
    if (!checking_ && platform::LeavesEditField(*event, *this, btnCancel)) {
        if (watched == MaxDownloadsEdit)
            platform::Guarded([this] { MaxDownloadsEditExit(); });
        else if (watched == editProxyPort)
            platform::Guarded([this] { editProxyPortExit(); });
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmSettings::btnOkClick()
{
    // Values confirmed with Enter never left their field: check them here too, before
    // anything is written.
    if (!MaxDownloadsEditExit())
        return;
    if (chkboxUseProxy->isChecked() && !editProxyPortExit())
        return;
    // Writing the choice keys with nothing chosen would unchoose every comic in the
    // file even if the user then cancels.
    if (lstboxComicsToGet->count() == 0) {
        FormCloseQuery();
        return;
    }
    // The comics added, removed and edited here reach the files first: the choice keys
    // below are written under the names they have then.
    if (!CommitComicChanges())
        return;

    for (int i = 0; i < lstboxComicsNotToGet->count(); ++i)
        ini_.WriteBool(kComics, lstboxComicsNotToGet->item(i)->text(), false);
    for (int i = 0; i < lstboxComicsToGet->count(); ++i)
        ini_.WriteBool(kComics, lstboxComicsToGet->item(i)->text(), true);
    ini_.WriteString(kDownloads, QStringLiteral("MaxSimDownloads"), MaxDownloadsEdit->text());
    ini_.WriteBool(kUpdates, QStringLiteral("ShowAdvancedInfo"), chkboxAdvancedInfo->isChecked());
    ini_.WriteBool(kUpdates, QStringLiteral("NotifyNewStrips"), chkboxNotifyNewStrips->isChecked());
    ini_.WriteBool(kUpdates, QStringLiteral("UpdateOnlyManually"), radioUpdateManually->isChecked());
    ini_.WriteBool(kUpdates, QStringLiteral("UpdateProgramStart"), radioUpdateProgramStart->isChecked());
    ini_.WriteBool(kUpdates, QStringLiteral("UpdateDaily"), radioUpdateDaily->isChecked());
    ini_.WriteString(kUpdates, QStringLiteral("UpdateTime"), TimeOfDayText::ToText(UpdateTime->time()));
    ini_.WriteBool(kMisc, QStringLiteral("AutoStart"), chkboxAutoStart->isChecked());
    // The desktop may refuse (an autostart folder that cannot be written): that is
    // reported, and the other settings are still written and the dialog closes.
    platform::Guarded([this] { desktop_().SetAutostart(chkboxAutoStart->isChecked()); });
    ini_.WriteBool(kMisc, QStringLiteral("StartMinimized"), chkboxStartMinimized->isChecked());
    platform::Guarded([this] {
        desktop_().SetTrayStartMinimized(ini_.ReadBool(kMisc, QStringLiteral("StartMinimized"), false));
    });
    ini_.WriteBool(kProxy, QStringLiteral("UseProxy"), chkboxUseProxy->isChecked());
    if (chkboxUseProxy->isChecked()) {
        ini_.WriteString(kProxy, QStringLiteral("ProxyIP"), editProxyIP->text());
        ini_.WriteString(kProxy, QStringLiteral("ProxyPort"), editProxyPort->text());
    }
    cancelRefused_ = false;
    if (FormCloseQuery())
        QDialog::done(QDialog::Accepted);
}

void TfrmSettings::btnCancelClick()
{
    if (countAtOpening_ == 0 && lstboxComicsNotToGet->count() == 0 && lstboxComicsToGet->count() == 0) {
        // Nothing in the catalogue at all and none added: no comic could ever be chosen,
        // so Cancel ends the first start instead of holding the user in the dialog.
        cancelRefused_ = false;
        QDialog::done(QDialog::Rejected);
        return;
    }
    if (countAtOpening_ == 0) {
        // Nothing was chosen when the dialog opened: the program cannot go on without a comic.
        cancelRefused_ = true;
        MessageBoxService::Information(kSelectOne);
        PageControl1->setCurrentWidget(tabComics);
        return; // the close check would refuse, and only repeat the message
    }
    cancelRefused_ = false;
    if (FormCloseQuery())
        QDialog::done(QDialog::Rejected);
}

void TfrmSettings::reject()
{
    btnCancelClick();
}

bool TfrmSettings::FormCloseQuery()
{
    if (lstboxComicsToGet->count() == 0) {
        MessageBoxService::Information(kSelectOne);
        PageControl1->setCurrentWidget(tabComics);
        return false;
    }
    return !cancelRefused_;
}

} // namespace pw::app
