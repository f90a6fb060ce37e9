// Menu commands of the main window: settings, help, home page, About, tray restore,
// wallpaper and clipboard.
#include "app/TForm1.h"

#include "app/DesktopIntegration.h"
#include "app/TAboutBox.h"
#include "app/TfrmSettings.h"
#include "app/UnreadMarks.h"
#include "app/UpdateHooks.h"
#include "comics/ComicSite.h"
#include "comics/TComicInfo.h"
#include "comics/TComicStripsDB.h"
#include "desktop/TTrayIcon.h"
#include "platform/DesktopShell.h"
#include "platform/IniFile.h"
#include "update/SimDownloads.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>

namespace pw::app {

void TForm1::Settings1Click()
{
    const QString remembered = comboComics->currentText();
    const bool ok = RunSettingsModal ? RunSettingsModal() : Settings().exec() == QDialog::Accepted;
    if (!ok)
        return;
    ApplyChoice(Settings().NameAfterOk(remembered));
    // Comics added in the dialog bring their strips at once, as added ones do.
    for (const QString& name : Settings().AddedOnOk())
        if (const comics::TComicInfo* comic = comicsToGet_.FindByName(name))
            updates_->UpdateComic(comic->Name);
}

void TForm1::ApplyChoice(const QString& remembered)
{
    comicsToGet_.Clear();
    comicsNotToGet_.Clear();
    allComics_.SplitChosen(*ini_, comicsToGet_, comicsNotToGet_);
    FillComicSelector();
    SelectRemembered(remembered);
    updates_->SetSlotCount(update::MaxSimDownloads(*ini_));
    // A shown comic that is no longer chosen would stay on screen without an entry in
    // the selector: show the comic the selector now names. Last, so that a strip that
    // cannot be drawn leaves the settings applied.
    if (currentComic_ && comboComics->count() > 0 && comicsToGet_.IndexOf(currentComic_) < 0)
        ShowComic(comboComics->currentText());
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

void TForm1::OpenStripPage1Click()
{
    // Only an http(s) address is ever kept as a strip's page.
    if (!shownWords_.Page.isEmpty())
        platform::DesktopShell::Open(shownWords_.Page);
}

void TForm1::CopyStripPageAddress2Click()
{
    if (!shownWords_.Page.isEmpty())
        QGuiApplication::clipboard()->setText(shownWords_.Page);
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

void TForm1::Copycurrentstriptoclipboard1Click()
{
    desktop_->CopyCurrentStrip();
}

void TForm1::Setasbackgroundimage1Click()
{
    SetStripAsWallpaper(currentComic_ ? currentComic_->CurrentStrip : std::nullopt);
}

void TForm1::Alwassetthelateststripaswallpaper1Click(bool wasChecked)
{
    try {
        if (wasChecked) {
            AlwaysSetLatestStrip1->setChecked(false);
            ClearWallpaperComic(); // the desktop keeps its wallpaper
        } else if (currentComic_) {
            AlwaysSetLatestStrip1->setChecked(true);
            SetWallpaperComic(currentComic_->Name);
        }
    } catch (...) {
        UpdateWallpaperCheck(); // a value that could not be written is not marked
        throw;
    }
}

void TForm1::SetStripAsWallpaper(const std::optional<comics::TComicStrip>& strip)
{
    desktop_->SetStripAsWallpaper(strip);
}

void TForm1::SetWallpaperComic(const QString& name)
{
    ini_->WriteString(QStringLiteral("Wallpaper"), QStringLiteral("Comic"), name);
    const comics::TComicInfo* comic = allComics_.FindByName(name);
    SetStripAsWallpaper(comic ? stripsDB_->NewestStrip(name) : std::nullopt);
}

void TForm1::ClearWallpaperComic()
{
    ini_->WriteString(QStringLiteral("Wallpaper"), QStringLiteral("Comic"), QString());
}

} // namespace pw::app
