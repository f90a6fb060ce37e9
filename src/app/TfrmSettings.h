#pragma once

#include "app/ComicAdding.h"

#include <QDialog>
#include <QHash>
#include <functional>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTimeEdit;

namespace pw::platform {
class TIniFile;
}
namespace pw::comics {
class TComicInfo;
class TComicsList;
} // namespace pw::comics

namespace pw::app {

class TDesktopIntegration;

// The settings dialog: the comics to follow, update rules, proxy and start options. Made
// once, hidden; filled from the configuration file at every showing; "Ok" writes back.
class TfrmSettings : public QDialog {
    Q_OBJECT
public:
    TfrmSettings(platform::TIniFile& ini, const comics::TComicsList& comicsToGet,
                 const comics::TComicsList& comicsNotToGet, std::function<TDesktopIntegration&()> desktop,
                 QWidget* parent = nullptr);

    void FormShow();
    void btnAddComicClick();
    void btnDeleteComicClick();
    void btnNewComicClick();
    void btnRemoveComicClick(); // asks first
    void btnEditComicClick();
    bool MaxDownloadsEditExit(); // false when the value was refused (message shown)
    void chkboxUseProxyClick();
    bool editProxyPortExit();
    void btnOkClick();
    void btnCancelClick();
    bool FormCloseQuery();
    bool CancelRefused() const { return cancelRefused_; }

    void reject() override; // Esc and the close box are Cancel

    TComicAdding Adding;
    std::function<bool(QDialog& dialog)> RunEditModal; // true when the edit was taken; empty: exec()

    // What the last OK did to the user's own comics: the comics it added, and the name a
    // comic has now (a renamed comic's new name, else the name itself).
    const QStringList& AddedOnOk() const { return addedOnOk_; }
    QString NameAfterOk(const QString& name) const { return renamedOnOk_.value(name, name); }

    QTabWidget* PageControl1 = nullptr;
    QWidget* tabComics = nullptr;
    QWidget* tabUpdates = nullptr;
    QWidget* tabProxy = nullptr;
    QWidget* tabMisc = nullptr;
    QListWidget* lstboxComicsNotToGet = nullptr;
    QListWidget* lstboxComicsToGet = nullptr;
    QPushButton* btnDeleteComic = nullptr;
    QPushButton* btnAddComic = nullptr;
    QPushButton* btnNewComic = nullptr;    // "Add comic…"
    QPushButton* btnRemoveComic = nullptr; // the user's own comics only
    QPushButton* btnEditComic = nullptr;   // one of the user's own comics
    QLabel* lblAddHint = nullptr;
    QLineEdit* MaxDownloadsEdit = nullptr;
    QCheckBox* chkboxAdvancedInfo = nullptr;
    QCheckBox* chkboxNotifyNewStrips = nullptr;
    QRadioButton* radioUpdateManually = nullptr;
    QRadioButton* radioUpdateProgramStart = nullptr;
    QRadioButton* radioUpdateDaily = nullptr;
    QTimeEdit* UpdateTime = nullptr;
    QCheckBox* chkboxUseProxy = nullptr;
    QLineEdit* editProxyIP = nullptr;
    QLineEdit* editProxyPort = nullptr;
    QCheckBox* chkboxAutoStart = nullptr;
    QCheckBox* chkboxStartMinimized = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    void ConnectControls();
    void SetFrequency(QRadioButton* radio, bool checked);
    static void MoveSelected(QListWidget* from, QListWidget* to, bool sorted);
    static void InsertSorted(QListWidget* list, const QString& text);
    void Refuse(QWidget* field, const QString& message);
    void UpdateRemoveButton();
    QStringList SelectedUserComics() const;

    // A comic of the user's own as the dialog holds it until OK.
    struct TUserComicChange {
        QString Original; // its name in the catalogue; empty for a comic added here
        QString Name;     // its name in the lists
        QString Address;
        bool Removed = false;
    };
    const comics::TComicInfo* Catalogued(const QString& name) const;
    TUserComicChange* ChangeFor(const QString& shownName);
    const TUserComicChange* ChangeFor(const QString& shownName) const;
    TUserComicChange& EnsureChange(const QString& shownName);
    bool IsUserComic(const QString& shownName) const;
    QString AddressOf(const QString& shownName) const;
    // As the catalogue's NameHolder and FollowedAs, with the dialog's changes; the comic
    // shown as `editing` holds nothing against itself.
    QString NameHolder(const QString& name, const QString& editing) const;
    QString FollowedAs(const QString& address, const QString& editing) const;
    QString EditProblem(const QString& shownName, const QString& name, const QString& address) const;
    // The changes made in the files; false when one could not be (reported, the dialog
    // stays open with what is left to do).
    bool CommitComicChanges();
    void RenameItems(const QString& from, const QString& to);

    platform::TIniFile& ini_;
    const comics::TComicsList& comicsToGet_;
    const comics::TComicsList& comicsNotToGet_;
    std::function<TDesktopIntegration&()> desktop_;
    int countAtOpening_ = 0;
    bool cancelRefused_ = false;
    bool checking_ = false;
    std::vector<TUserComicChange> changes_;
    QStringList addedOnOk_;
    QHash<QString, QString> renamedOnOk_;
};

} // namespace pw::app
