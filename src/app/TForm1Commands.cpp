// Menu commands of the main window: settings, help, home page, About, tray restore.
#include "app/TForm1.h"

#include "app/DesktopIntegration.h"
#include "app/TAboutBox.h"
#include "app/TfrmSettings.h"
#include "app/UnreadMarks.h"
#include "app/UpdateHooks.h"
#include "comics/ComicSite.h"
#include "comics/TComicInfo.h"
#include "desktop/TTrayIcon.h"
#include "platform/DesktopShell.h"
#include "platform/IniFile.h"
#include "update/SimDownloads.h"

#include <QAction>
#include <QComboBox>

namespace pw::app {

void TForm1::Settings1Click()
{
    const QString remembered = comboComics->currentText();
    const bool ok = RunSettingsModal ? RunSettingsModal() : settings_->exec() == QDialog::Accepted;
    if (!ok)
        return;
    comicsToGet_.Clear();
    comicsNotToGet_.Clear();
    allComics_.SplitChosen(*ini_, comicsToGet_, comicsNotToGet_);
    FillComicSelector();
    SelectRemembered(remembered);
    // A shown comic that is no longer chosen would stay on screen without an entry in
    // the selector: show the comic the selector now names.
    if (currentComic_ && comboComics->count() > 0 && comicsToGet_.IndexOf(currentComic_) < 0)
        ShowComic(comboComics->currentText());
    updates_->SetSlotCount(update::MaxSimDownloads(*ini_));
}

void TForm1::SelectRemembered(const QString& text)
{
    int index = 0;
    for (int i = comboComics->count() - 1; i >= 0; --i) {
        if (comboComics->itemText(i) == text) {
            index = i;
            break;
        }
    }
    comboComics->setCurrentIndex(comboComics->count() > 0 ? index : -1);
}

void TForm1::TrayIcon1DblClick()
{
    TrayIcon1->RestoreMainWindow();
    restoredFromTray_ = true;
}

void TForm1::RestoreShowing(const QString& comicName)
{
    TrayIcon1DblClick();
    const int index = comboComics->findText(comicName, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0)
        return; // no longer chosen: the window comes back as it was
    comboComics->setCurrentIndex(index);
    ShowComic(comicName);
}

void TForm1::Help2Click()
{
    platform::DesktopShell::Open(options_.Paths.HelpPath);
}

void TForm1::Homepage1Click()
{
    platform::DesktopShell::Open(QString(comics::kHomePage));
}

void TForm1::About2Click()
{
    if (RunAboutModal) {
        RunAboutModal();
        return;
    }
    TAboutBox box(this);
    box.exec();
}

void TForm1::WallpaperToggled()
{
    desktop_->ToggleWallpaperComic();
    UpdateWallpaperCheck(); // the mark follows the stored wallpaper comic, not the click
}

} // namespace pw::app
