#pragma once

#include "app/NoticePictures.h"
#include "app/StartupOptions.h"
#include "app/StripZoom.h"
#include "comics/StripWords.h"
#include "comics/StripWordsFile.h"
#include "comics/TComicStrip.h"
#include "comics/TComicsList.h"
#include "platform/FileStamp.h"

#include <QImage>
#include <QMainWindow>
#include <functional>
#include <future>
#include <memory>
#include <optional>

class QAction;
class QComboBox;
class QDialog;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QKeyEvent;

namespace pw::platform {
class MessageTarget;
class TIniFile;
class Timer;
} // namespace pw::platform

namespace pw::desktop {
class TTrayIcon;
} // namespace pw::desktop

namespace pw::comics {
class TComicInfo;
class TComicStripsDB;
} // namespace pw::comics

namespace pw::app {

class StripPicture;
class StripView;
class TDesktopIntegration;
class TfrmSettings;
struct TComicAdding;
class UnreadMarks;
class UpdateHooks;
class PrintHooks;

// The private message the Advanced Info window sends once its slot grid exists.
inline constexpr unsigned kStartupMessage = 3072;

// The main window: one strip of one comic, the comic selector, strip and comic
// navigation, and the menus. It owns the program-wide objects made at start.
class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // The start-up steps. False when the program cannot run; the user has been told.
    bool FormCreate(const TStartupOptions& options);
    // False when the program starts minimised (only the tray icon).
    bool ShowAtStart() const { return showAtStart_; }

    const TStartupOptions& Options() const { return options_; }
    platform::TIniFile& Ini() const { return *ini_; }
    comics::TComicStripsDB& StripsDB() const { return *stripsDB_; }
    comics::TComicsList& AllComics() { return allComics_; }
    comics::TComicsList& ComicsToGet() { return comicsToGet_; }
    comics::TComicsList& ComicsNotToGet() { return comicsNotToGet_; }
    comics::TComicInfo* CurrentComic() const { return currentComic_; }
    // The picture in the strip display; null when none is shown.
    QImage ShownPicture() const;
    // While on, a strip to draw is decoded on a thread of its own: the start-up goes on
    // making the window meanwhile. Switching it off draws that strip, reporting a failure.
    void DecodeAside(bool on);
    // Made at its first use: nothing on the first screen needs it.
    TfrmSettings& Settings();
    UnreadMarks& Unread() const { return *unread_; }
    // Where the start-up message arrives (sent, not posted).
    platform::MessageTarget& StartupTarget() const { return *startupTarget_; }

    // The other parts of the program plug in here.
    void SetUpdateHooks(std::unique_ptr<UpdateHooks> hooks);
    UpdateHooks& Updates() const { return *updates_; }
    void SetDesktopIntegration(std::unique_ptr<TDesktopIntegration> desktop);
    TDesktopIntegration& Desktop() const { return *desktop_; }
    void SetPrintHooks(std::unique_ptr<PrintHooks> print);
    PrintHooks& Print() const { return *print_; }

    // Modal runs, replaceable so that nothing blocks in tests.
    std::function<bool()> RunSettingsModal; // true when the dialog closed with OK
    std::function<void()> RunAboutModal;
    std::function<void()> QuitLoop;                        // ends the message loop at once
    std::function<bool(QDialog& dialog)> RunAddComicModal; // true when a comic was added; empty: exec()
    // The file an import reads or an export writes; empty when none was chosen. Empty
    // function: the desktop's file dialog.
    std::function<QString(bool save)> ChooseOpmlFile;

    // Strip display and navigation.
    void ShowComic(const QString& name);
    void ShowStrip(comics::TComicInfo& comic, const std::optional<comics::TComicStrip>& strip);
    void btnPrevClick();
    void btnNextClick();
    void NextComic();
    void PreviousComic();
    void NextUnread();  // Space: the next unread strip, here or in a later comic
    void FirstStrip();  // Home
    void NewestStrip(); // End
    void NoStripsTimerTimer(platform::Timer& fired);
    void FormResize();
    void FillComicSelector();
    void comboComicsChange();

    // Commands.
    void AddComic1Click();     // "&Add Comic...": added, chosen, shown and updated at once
    void ImportComics1Click(); // the feeds of an OPML file become comics, chosen and updated
    void ExportComics1Click(); // the chosen comics to an OPML file
    // Add comic with the address filled in and looked at (a browser's "subscribe").
    void AddComicAt(const QString& address);
    void Settings1Click();
    // The settings dialog's choice taken over: lists split again, selector filled.
    void ApplyChoice(const QString& remembered);
    void Exit1Click();
    void ClosePanelwick1Click(); // the tray menu's "Close Panelwick": like E&xit
    void TrayIcon1DblClick();
    void Copycurrentstriptoclipboard1Click();
    void Setasbackgroundimage1Click();
    // "&Always Set The Latest Strip Of This Comic As Wallpaper", from either menu; the
    // clicked item's mark before the click decides.
    void Alwassetthelateststripaswallpaper1Click(bool wasChecked);

    // Wallpaper operations the update engine calls too.
    void SetStripAsWallpaper(const std::optional<comics::TComicStrip>& strip);
    void SetWallpaperComic(const QString& name);
    void ClearWallpaperComic();
    // Brings the window back showing the comic (a click on a new-strips notification).
    void RestoreShowing(const QString& comicName);
    // A new strip arrived: the tray hint names it while strips are unread.
    void NoteNewStrip(const QString& comicName, const QString& title);
    void Help2Click();
    void Homepage1Click();
    void About2Click();
    void FormShow();
    // The View menu's zoom: shown at once and kept in the configuration file.
    void SetZoom(const StripZoom& zoom);
    void ZoomStep(bool in);
    void ShowTitleText1Click(bool on);
    // The shown strip's words (empty for a strip without them).
    const comics::StripWords& ShownWords() const { return shownWords_; }
    void OpenStripPage1Click();
    void CopyStripPageAddress2Click();

    bool CtrlHeld() const { return ctrlHeld_; }
    bool RestoredFromTray() const { return restoredFromTray_; }

    // Controls, named as in the window.
    QComboBox* comboComics = nullptr;
    QPushButton* btnPrev = nullptr;
    QLabel* lblCurrentDate = nullptr;
    QPushButton* btnNext = nullptr;
    QLabel* ProgressLabel = nullptr;
    QProgressBar* ProgressBar = nullptr;
    QPushButton* bitbtnAbort = nullptr;
    QPushButton* bitbtnAdvancedInfo = nullptr;
    StripView* scrollStrip = nullptr;
    StripPicture* Image1 = nullptr;
    QLabel* lblTitleText = nullptr; // the strip's title text, below it
    QMenu* StripPopUp = nullptr;
    platform::Timer* NoStripsTimer = nullptr;
    platform::Timer* NoComicsTimer = nullptr;
    platform::Timer* NoUnreadTimer = nullptr;

    // Menu entries.
    QAction* CopyCurrentStrip1 = nullptr;
    QAction* PrintCurrentStrip1 = nullptr;
    QAction* AddComic1 = nullptr;
    QAction* ImportComics1 = nullptr;
    QAction* ExportComics1 = nullptr;
    QAction* Settings1 = nullptr;
    QAction* Exit1 = nullptr;
    QAction* Updatecomicstrips1 = nullptr;
    QAction* Updatecurrentcomic1 = nullptr;
    QAction* FetchOlderStrips1 = nullptr;
    QAction* Abortallupdates1 = nullptr;
    QAction* SetStripAsWallpaper1 = nullptr;
    QAction* AlwaysSetLatestStrip1 = nullptr;
    QAction* FitToWindow1 = nullptr;
    QAction* FitWidth1 = nullptr;
    QAction* ActualSize1 = nullptr;
    QAction* ZoomIn1 = nullptr;
    QAction* ZoomOut1 = nullptr;
    QAction* ShowTitleText1 = nullptr;
    QAction* OpenStripPage1 = nullptr;
    QAction* OpenStripPage2 = nullptr;
    QAction* CopyStripPageAddress2 = nullptr;
    QAction* Help2 = nullptr;
    QAction* Homepage1 = nullptr;
    QAction* About2 = nullptr;
    QAction* PrintCurrentStrip2 = nullptr;
    QAction* Updatecurrentcomic2 = nullptr;
    QAction* SetStripAsWallpaper2 = nullptr;
    QAction* AlwaysSetLatestStrip2 = nullptr;

    // The tray icon, hint "Panelwick", and its menu.
    desktop::TTrayIcon* TrayIcon1 = nullptr;
    QMenu* TrayPopUp = nullptr;
    QAction* ClosePanelwick1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;

private:
    void ConnectComicAdding();
    TComicAdding ComicAdding();
    // Runs the Add comic dialog; the name added, empty when none was.
    QString RunAddComic(const QString& address = {});
    void CreateControls();
    void CreateMenus();
    void CreateTrayIcon();
    void ConnectCommands();
    void FormStartupMessage();
    void FormClose();
    // The command a key press runs, empty when the key is not the window's.
    std::function<void()> FormKeyDown(const QKeyEvent* key);
    void FormKeyUp(const QKeyEvent* key);
    void ShowNotice(const QByteArray& gif, platform::Timer& timer);
    // Ends the notice showing; true when it was `own`'s kind (the strip is then redrawn).
    bool EndNotices(platform::Timer& own);
    void PlaceFrameAt(const QPoint& wanted);
    void MinimiseAtStartWhenPlaced();
    void StepStrip(bool forward); // previous or next strip, or the end-of-strips notice
    void StepComic(int step);     // neighbouring comic of the selector, or the end-of-comics notice
    void SetButtonIcons();
    void SetPicture(const QImage& image);
    // Draws the strip file at path; throws when it cannot be decoded.
    void DrawStripFile(const QString& path);
    void DrawDecoded(const QString& path, const std::optional<platform::FileStamp>& stamp,
                     const QImage& picture);
    void RedrawStrip(); // the current strip again, quiet about a failure already reported
    void UpdateWallpaperCheck();
    void UpdateZoomChecks();
    void StepToEnd(bool newest); // first or newest strip, or the end-of-strips notice
    void ShowWords(const comics::TComicInfo* comic, const std::optional<comics::TComicStrip>& strip);
    void SelectRemembered(const QString& text);

    TStartupOptions options_;
    NoticePictures notices_;
    std::unique_ptr<platform::TIniFile> ini_;
    std::unique_ptr<comics::TComicStripsDB> stripsDB_;
    std::unique_ptr<UnreadMarks> unread_;
    comics::TComicsList allComics_;
    comics::TComicsList comicsToGet_;
    comics::TComicsList comicsNotToGet_;
    comics::TComicInfo* currentComic_ = nullptr;
    TfrmSettings* settings_ = nullptr;
    platform::MessageTarget* startupTarget_ = nullptr;
    std::unique_ptr<UpdateHooks> updates_;
    std::unique_ptr<TDesktopIntegration> desktop_;
    std::unique_ptr<PrintHooks> print_;
    bool restoredFromTray_ = false;
    bool ctrlHeld_ = false;
    bool showAtStart_ = true;
    bool exiting_ = false;           // E&xit: the window's close saves nothing any more
    bool iconsPending_ = true;       // until the first paint
    bool minimiseOnceShown_ = false; // started minimised where no tray can hold it
    bool placing_ = false;           // the frame is being put where it was
    QString failedStrip_;            // a strip that could not be drawn; redraws on resize stay quiet
    // The strip drawn last, while its file is unchanged: a resize redraws the strip (twice
    // while the window first opens), and decoding is most of what drawing one costs.
    struct DrawnStrip {
        QString path;
        std::optional<platform::FileStamp> stamp; // Settled when set
        QImage picture;
    } drawn_;
    bool decodeAside_ = false;
    struct DecodingStrip {
        QString path;
        std::optional<platform::FileStamp> stamp;
        std::future<QImage> picture;
    };
    std::optional<DecodingStrip> decoding_;
    comics::StripWordsFile wordsFile_;
    comics::StripWords shownWords_;
    QString latestArrival_; // "Comic – Title" of the newest strip with a title, for the tray hint
    int unreadTotal_ = 0;
    void UpdateTrayHint();
};

} // namespace pw::app
