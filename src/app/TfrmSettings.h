#pragma once

#include "app/ComicAdding.h"

#include <QDialog>
#include <functional>

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
class TComicsList;
}

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
    void btnRemoveComicClick();
    bool MaxDownloadsEditExit(); // false when the value was refused (message shown)
    void chkboxUseProxyClick();
    bool editProxyPortExit();
    void btnOkClick();
    void btnCancelClick();
    bool FormCloseQuery();
    bool CancelRefused() const { return cancelRefused_; }

    void reject() override; // Esc and the close box are Cancel

    TComicAdding Adding;

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

    platform::TIniFile& ini_;
    const comics::TComicsList& comicsToGet_;
    const comics::TComicsList& comicsNotToGet_;
    std::function<TDesktopIntegration&()> desktop_;
    int countAtOpening_ = 0;
    bool cancelRefused_ = false;
    bool checking_ = false;
};

} // namespace pw::app
