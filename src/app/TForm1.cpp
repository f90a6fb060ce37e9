#include "app/TForm1.h"

#include "app/DesktopIntegration.h"
#include "app/PrintHooks.h"
#include "app/RenameRepair.h"
#include "app/StripView.h"
#include "app/TfrmSettings.h"
#include "app/UnreadMarks.h"
#include "app/UpdateHooks.h"
#include "comics/TComicInfo.h"
#include "comics/TComicStripsDB.h"
#include "desktop/TTrayIcon.h"
#include "platform/Exception.h"
#include "platform/ExceptionGuard.h"
#include "platform/IniFile.h"
#include "platform/MessageBoxService.h"
#include "platform/MessageTarget.h"
#include "platform/WindowSystem.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QShowEvent>
#include <QTimer>
#include <malloc.h>
#include <memory>
#include <utility>

namespace pw::app {

using platform::MessageBoxService;

TForm1::TForm1(QWidget* parent)
    : QMainWindow(parent), updates_(std::make_unique<UpdateHooks>()),
      desktop_(std::make_unique<TDesktopIntegration>()), print_(std::make_unique<PrintHooks>())
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Panelwick"));
    resize(705, 507);
    setMinimumWidth(516);
    CreateControls();
    CreateMenus();
    CreateTrayIcon();
    ConnectCommands();
    UpdateZoomChecks();

    startupTarget_ = new platform::MessageTarget(this);
    startupTarget_->OnMessage = [this](unsigned msg, platform::WParam, platform::LParam) {
        if (msg == kStartupMessage)
            FormStartupMessage();
    };
    QuitLoop = [] { QCoreApplication::exit(0); };
}

TForm1::~TForm1()
{
    if (qApp)
        qApp->removeEventFilter(this);
}

void TForm1::SetUpdateHooks(std::unique_ptr<UpdateHooks> hooks)
{
    updates_ = hooks ? std::move(hooks) : std::make_unique<UpdateHooks>();
}

void TForm1::SetDesktopIntegration(std::unique_ptr<TDesktopIntegration> desktop)
{
    desktop_ = desktop ? std::move(desktop) : std::make_unique<TDesktopIntegration>();
}

void TForm1::SetPrintHooks(std::unique_ptr<PrintHooks> print)
{
    print_ = print ? std::move(print) : std::make_unique<PrintHooks>();
}

bool TForm1::FormCreate(const TStartupOptions& options)
{
    // 1. Program folder and file layout; an installed program makes its folders at first start.
    options_ = options;
    options_.Paths.MakeFolders();
    desktop_->FormCreate(); // the autostart component takes its design values
    // 2. The notice pictures.
    notices_ = NoticePictures::Load();
    // 3. The configuration file: nothing is read yet.
    ini_ = std::make_unique<platform::TIniFile>(options_.Paths.IniPath);
    // 4. The settings dialog is made hidden when the Settings command first needs it.
    // 5. Flags.
    restoredFromTray_ = false;
    ctrlHeld_ = false;
    // The zoom chosen last; a fit or a factor stays for every strip and comic.
    scrollStrip->SetZoom(
        StripZoom::FromText(ini_->ReadString(QStringLiteral("View"), QStringLiteral("Zoom"), QString())));
    UpdateZoomChecks();
    ShowTitleText1->setChecked(ini_->ReadBool(QStringLiteral("View"), QStringLiteral("ShowTitleText"), true));
    // 6. The strip store.
    stripsDB_ = std::make_unique<comics::TComicStripsDB>(options_.Paths.ComicsDir(*ini_));
    unread_ = std::make_unique<UnreadMarks>(*stripsDB_, *comboComics);
    unread_->OnTotalChanged = [this](int total) {
        unreadTotal_ = total;
        UpdateTrayHint();
    };
    // 7. The catalogue; the program cannot run without it. No comic's strip is looked up
    // here: showing a comic finds its first unread, else its newest strip, from the folder
    // as it is then, so only the comic on screen is ever listed before the first paint.
    const QString catalogue = options_.Paths.CataloguePath;
    FinishInterruptedRename(options_.Paths, *ini_);
    try {
        allComics_.LoadCatalogue(catalogue);
        allComics_.LoadUserCatalogue(options_.Paths.UserCataloguePath);
    } catch (const std::exception& e) {
        const auto* pe = dynamic_cast<const platform::Exception*>(&e);
        const QString reason = pe ? pe->Message() : QString::fromLocal8Bit(e.what());
        MessageBoxService::Error(QStringLiteral("Couldn't read the comic catalogue %1 (%2). "
                                                "Please reinstall the program.")
                                     .arg(catalogue, reason));
        return false;
    }
    // An empty catalogue is no fault: the shipped one lists nothing that cannot work, and
    // the first-start settings dialog offers "Add comic…".
    // 8. Chosen and not-chosen comics.
    allComics_.SplitChosen(*ini_, comicsToGet_, comicsNotToGet_);
    // 9. GIF decoding is linked in: nothing to load.
    // 10. The current comic.
    currentComic_ = allComics_.FindByName(
        ini_->ReadString(QStringLiteral("Comics"), QStringLiteral("CurrentComic"), QString()));
    if (!currentComic_ && comicsToGet_.Count() > 0)
        currentComic_ = comicsToGet_.GetItem(0);
    // 11. First start: the user chooses comics before any window shows. With nothing to
    // choose from, the user adds a first comic; Cancel there leads to the settings.
    if (comicsToGet_.Count() == 0) {
        // An address the program was started with fills that dialog.
        if (allComics_.Count() > 0 || RunAddComic(std::exchange(options_.OpenAddress, {})).isEmpty()) {
            if (allComics_.Count() > 0)
                MessageBoxService::Information(
                    QStringLiteral("Please select at least one comic and configure the program."));
            Settings1Click();
        }
        if (comicsToGet_.Count() == 0)
            return false; // the dialog only closes with a comic chosen; nothing to show otherwise
    }
    // 12. Start minimised: only the tray icon. Without a tray the window starts minimised
    // on the task bar, where the user can reach it.
    if (ini_->ReadBool(QStringLiteral("Misc"), QStringLiteral("StartMinimized"), false)) {
        showAtStart_ = !desktop_->HasTray();
        desktop_->SetTrayStartMinimized(true);
        desktop_->SetTrayMinimizeToTray(true);
        // Hidden in the tray the window needs no minimised state: X would map it minimised
        // when the tray brings it back.
        minimiseOnceShown_ = showAtStart_;
    }
    qApp->installEventFilter(this); // the window sees keys before its controls
    return true;
}

void TForm1::NoteNewStrip(const QString& comicName, const QString& title)
{
    if (!title.isEmpty())
        latestArrival_ = comicName + QStringLiteral(" \u2013 ") + title;
    UpdateTrayHint();
}

void TForm1::UpdateTrayHint()
{
    if (unreadTotal_ <= 0) {
        latestArrival_.clear();
        TrayIcon1->SetHint(QStringLiteral("Panelwick"));
        return;
    }
    QString hint = QStringLiteral("Panelwick - ") + UnreadMarks::CountText(unreadTotal_);
    if (!latestArrival_.isEmpty())
        hint += QLatin1Char('\n') + latestArrival_;
    TrayIcon1->SetHint(hint);
}

TfrmSettings& TForm1::Settings()
{
    if (!settings_) {
        settings_ = new TfrmSettings(
            *ini_, comicsToGet_, comicsNotToGet_, [this]() -> TDesktopIntegration& { return *desktop_; },
            this);
        ConnectComicAdding();
    }
    return *settings_;
}

void TForm1::FormStartupMessage()
{
    FillComicSelector();
    const int index = currentComic_ ? comicsToGet_.IndexOf(currentComic_) : -1;
    comboComics->setCurrentIndex(index >= 0 ? index : 0);
    // A strip that cannot be drawn is reported and start-up goes on: the update at start
    // and the daily timer do not depend on it, nor on each other.
    platform::Guarded([this] { ShowComic(comboComics->currentText()); });
    platform::Guarded([this] { desktop_->SetTrayMinimizeToTray(true); });
    platform::Guarded([this] {
        if (ini_->ReadBool(QStringLiteral("Updates"), QStringLiteral("UpdateProgramStart"), true))
            updates_->UpdateAll();
    });
    if (ini_->ReadBool(QStringLiteral("Updates"), QStringLiteral("UpdateDaily"), false))
        updates_->StartDailyTimer();
}

void TForm1::FormShow()
{
    if (restoredFromTray_ || !ini_)
        return;
    const QString w = QStringLiteral("Window");
    if (ini_->ReadBool(w, QStringLiteral("Maximized"), false)) {
        // A window started minimised stays so; it opens maximised when it is restored.
        setWindowState(windowState() | Qt::WindowMaximized);
        return;
    }
    const QSize size(ini_->ReadInteger(w, QStringLiteral("Width"), 630),
                     ini_->ReadInteger(w, QStringLiteral("Height"), 470));
    if (!platform::WindowSystem::PlacesWindows()) {
        resize(size); // the compositor places the window
        return;
    }
    const QPoint wanted(ini_->ReadInteger(w, QStringLiteral("LeftPos"), 1),
                        ini_->ReadInteger(w, QStringLiteral("TopPos"), 1));
    move(wanted);
    resize(size);
    PlaceFrameAt(wanted);
}

void TForm1::PlaceFrameAt(const QPoint& wanted)
{
    // The saved position is the frame's, as x() and y() report it when closing. Before
    // the window manager has framed a new window some place the client there instead,
    // which hides the title bar and moves the window up by a title bar at every start.
    // So once the frame is known, put the frame where it belongs; without a frame
    // (no window manager) there is nothing to correct.
    auto* check = new QTimer(this);
    check->setInterval(20);
    auto tries = std::make_shared<int>(0);
    connect(check, &QTimer::timeout, this, [this, check, tries, wanted] {
        platform::Guarded([&] {
            const bool framed = frameGeometry() != geometry();
            if (framed && frameGeometry().topLeft() != wanted && !isMaximized())
                move(wanted);
            if (framed || ++*tries >= 50) {
                check->stop();
                check->deleteLater();
                placing_ = false;
                MinimiseAtStartWhenPlaced();
            }
        });
    });
    placing_ = true;
    check->start();
}

void TForm1::MinimiseAtStartWhenPlaced()
{
    // X window managers map a window normal whatever state it asked for before it was
    // shown, and moving a minimised window brings it back: so minimise once it is on
    // screen and in its place.
    if (!minimiseOnceShown_ || placing_ || iconsPending_)
        return;
    minimiseOnceShown_ = false;
    QTimer::singleShot(0, this, [this] {
        platform::Guarded([this] { setWindowState(windowState() | Qt::WindowMinimized); });
    });
}

bool TForm1::event(QEvent* event)
{
    if (event->type() == QEvent::Paint && iconsPending_) {
        // After the whole first frame, which this paint begins.
        iconsPending_ = false;
        MinimiseAtStartWhenPlaced();
        QTimer::singleShot(0, this, [this] {
            platform::Guarded([this] {
                SetButtonIcons();
                // The icon theme's index is read into a few hundred kB of strings that are
                // freed again; give those pages back rather than keep them for the session.
                ::malloc_trim(0);
            });
        });
    }
    return QMainWindow::event(event);
}

void TForm1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!event->spontaneous())
        platform::Guarded([this] { FormShow(); });
}

void TForm1::FormClose()
{
    const QString w = QStringLiteral("Window");
    if (isMaximized()) {
        ini_->WriteBool(w, QStringLiteral("Maximized"), true);
    } else {
        ini_->WriteBool(w, QStringLiteral("Maximized"), false);
        // Where no window can be placed its position is unknown: the one saved on a
        // window system that places windows stays for the next start there.
        if (platform::WindowSystem::PlacesWindows()) {
            ini_->WriteInteger(w, QStringLiteral("LeftPos"), x());
            ini_->WriteInteger(w, QStringLiteral("TopPos"), y());
        }
        ini_->WriteInteger(w, QStringLiteral("Width"), width());
        ini_->WriteInteger(w, QStringLiteral("Height"), height());
    }
    ini_->WriteString(QStringLiteral("Comics"), QStringLiteral("CurrentComic"), comboComics->currentText());
}

void TForm1::closeEvent(QCloseEvent* event)
{
    // A failed write is reported; the window still closes.
    event->accept();
    if (exiting_)
        return;
    if (ini_)
        platform::Guarded([this] { FormClose(); });
    // Closing the main window ends the program, whatever other window is still open.
    exiting_ = true;
    if (QuitLoop)
        QuitLoop();
}

void TForm1::ClosePanelwick1Click()
{
    Exit1Click();
}

void TForm1::Exit1Click()
{
    exiting_ = true;
    if (QuitLoop)
        QuitLoop();
}

} // namespace pw::app
