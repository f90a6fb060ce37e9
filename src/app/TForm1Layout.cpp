// The main window's controls and menus.
#include "app/TForm1.h"

#include "app/DesktopIntegration.h"
#include "app/NoticePictures.h"
#include "app/PrintHooks.h"
#include "app/StripPicture.h"
#include "app/StripView.h"
#include "app/UpdateHooks.h"
#include "desktop/TTrayIcon.h"
#include "platform/ExceptionGuard.h"
#include "platform/Timer.h"
#include "platform/Tunables.h"

#include <QAction>
#include <QActionGroup>
#include <QBoxLayout>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>

namespace pw::app {

namespace {
template <class W> W* Named(W* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// Places a child at its parent's right edge, 3 pixels in, whenever the parent resizes.
class RightEdgeKeeper : public QObject {
public:
    RightEdgeKeeper(QWidget* child, QObject* parent) : QObject(parent), child_(child) {}
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Resize) {
            auto* p = static_cast<QWidget*>(watched);
            child_->move(p->width() - child_->width() - 3, (p->height() - child_->height()) / 2);
            child_->raise();
        }
        return false;
    }

private:
    QWidget* child_;
};

// Signals enter our code here: each entry passes the exception guard.
template <class F> auto Guard(F f)
{
    return [f] { platform::Guarded(f); };
}

QAction* NewAction(QObject* parent, const char* name, const QString& caption, const QKeySequence& key = {})
{
    auto* a = new QAction(caption, parent);
    a->setObjectName(QString::fromLatin1(name));
    if (!key.isEmpty())
        a->setShortcut(key);
    return a;
}
} // namespace

void TForm1::SetButtonIcons()
{
    // Looked up in the desktop's icon theme, a search through its folders that costs more
    // than the rest of the window: the buttons get their icons after the first paint.
    bitbtnAbort->setIcon(style()->standardIcon(QStyle::SP_BrowserStop));
    bitbtnAdvancedInfo->setIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
}

void TForm1::CreateControls()
{
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* topBar = Named(new QWidget(central), "Panel1");
    topBar->setFixedHeight(41);
    auto* bar = new QHBoxLayout(topBar);
    bar->setContentsMargins(6, 4, 4, 4);
    bar->setSpacing(6);

    comboComics = Named(new QComboBox(topBar), "comboComics");
    comboComics->setEditable(false);
    comboComics->setMaxVisibleItems(30);
    comboComics->setFixedWidth(145);
    bar->addWidget(comboComics);

    btnPrev = Named(new QPushButton(QStringLiteral("<---"), topBar), "btnPrev");
    btnPrev->setToolTip(QStringLiteral("Previous Strip"));
    btnPrev->setAccessibleName(QStringLiteral("Previous strip"));
    btnPrev->setFocusPolicy(Qt::NoFocus);
    btnPrev->setFixedWidth(50);
    bar->addWidget(btnPrev);

    lblCurrentDate = Named(new QLabel(topBar), "lblCurrentDate");
    lblCurrentDate->setAlignment(Qt::AlignCenter);
    lblCurrentDate->setTextFormat(Qt::PlainText);
    lblCurrentDate->setMinimumWidth(70);
    bar->addWidget(lblCurrentDate);

    btnNext = Named(new QPushButton(QStringLiteral("--->"), topBar), "btnNext");
    btnNext->setToolTip(QStringLiteral("Next Strip"));
    btnNext->setAccessibleName(QStringLiteral("Next strip"));
    btnNext->setFocusPolicy(Qt::NoFocus);
    btnNext->setFixedWidth(50);
    bar->addWidget(btnNext);
    bar->addStretch(1);

    // Kept at the right edge by hand, over the other controls when the window is narrow,
    // so that it never holds the window wider than its minimum width.
    auto* progressPanel = Named(new QFrame(topBar), "Panel2");
    progressPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    progressPanel->setFixedWidth(256);
    auto* progress = new QHBoxLayout(progressPanel);
    progress->setContentsMargins(3, 1, 3, 1);
    progress->setSpacing(3);
    auto* progressColumn = new QVBoxLayout;
    progressColumn->setSpacing(0);
    ProgressLabel = Named(new QLabel(progressPanel), "ProgressLabel");
    ProgressLabel->setTextFormat(Qt::PlainText);
    // The batch summary is longer than the panel is wide: a smaller font over two lines.
    QFont progressFont = ProgressLabel->font();
    progressFont.setPixelSize(10);
    ProgressLabel->setFont(progressFont);
    ProgressLabel->setWordWrap(true);
    ProgressBar = Named(new QProgressBar(progressPanel), "ProgressBar");
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);
    ProgressBar->setTextVisible(false);
    ProgressBar->setMaximumHeight(8);
    progressColumn->addWidget(ProgressLabel);
    progressColumn->addWidget(ProgressBar);
    progress->addLayout(progressColumn, 1);
    bitbtnAbort = Named(new QPushButton(progressPanel), "bitbtnAbort");
    bitbtnAbort->setToolTip(QStringLiteral("Abort Current Updates"));
    bitbtnAbort->setEnabled(false);
    bitbtnAbort->setFocusPolicy(Qt::NoFocus);
    bitbtnAbort->setFixedSize(25, 25);
    progress->addWidget(bitbtnAbort);
    bitbtnAdvancedInfo = Named(new QPushButton(progressPanel), "bitbtnAdvancedInfo");
    bitbtnAdvancedInfo->setToolTip(QStringLiteral("Show Advanced Info"));
    bitbtnAdvancedInfo->setFocusPolicy(Qt::NoFocus);
    bitbtnAdvancedInfo->setFixedSize(25, 25);
    progress->addWidget(bitbtnAdvancedInfo);
    progressPanel->setFixedHeight(35);
    topBar->installEventFilter(new RightEdgeKeeper(progressPanel, topBar));
    column->addWidget(topBar);

    // The strip on white, centred where it is smaller than the area, scrolling where larger.
    scrollStrip = Named(new StripView(central), "scrollStrip");
    Image1 = Named(scrollStrip->Picture(), "Image1");
    Image1->setContextMenuPolicy(Qt::CustomContextMenu);
    column->addWidget(scrollStrip, 1);
    // Plain text, so that a feed's words never become markup or links.
    lblTitleText = Named(new QLabel(central), "lblTitleText");
    lblTitleText->setTextFormat(Qt::PlainText);
    lblTitleText->setWordWrap(true);
    lblTitleText->setAlignment(Qt::AlignCenter);
    lblTitleText->setMargin(4);
    lblTitleText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A few lines at most: the strip keeps its area; the tooltip holds the whole text.
    lblTitleText->setMaximumHeight(4 * lblTitleText->fontMetrics().lineSpacing() +
                                   2 * lblTitleText->margin());
    lblTitleText->setFocusPolicy(Qt::NoFocus);
    lblTitleText->hide();
    column->addWidget(lblTitleText);
    setCentralWidget(central);

    NoStripsTimer = new platform::Timer(this);
    NoStripsTimer->setObjectName(QStringLiteral("NoStripsTimer"));
    NoStripsTimer->SetInterval(platform::Tunables::NoticeMs);
    NoComicsTimer = new platform::Timer(this);
    NoComicsTimer->setObjectName(QStringLiteral("NoComicsTimer"));
    NoComicsTimer->SetInterval(platform::Tunables::NoticeMs);
    NoUnreadTimer = new platform::Timer(this);
    NoUnreadTimer->setObjectName(QStringLiteral("NoUnreadTimer"));
    NoUnreadTimer->SetInterval(platform::Tunables::NoticeMs);
}

void TForm1::CreateMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("File1"));
    AddComic1 =
        NewAction(this, "AddComic1", QStringLiteral("&Add Comic..."), QKeySequence(Qt::CTRL | Qt::Key_N));
    CopyCurrentStrip1 =
        NewAction(this, "CopyCurrentStrip1", QStringLiteral("&Copy Current Strip To Clipboard"),
                  QKeySequence(Qt::CTRL | Qt::Key_C));
    PrintCurrentStrip1 = NewAction(this, "PrintCurrentStrip1", QStringLiteral("&Print Current Strip..."),
                                   QKeySequence(Qt::CTRL | Qt::Key_P));
    Settings1 =
        NewAction(this, "Settings1", QStringLiteral("&Settings..."), QKeySequence(Qt::CTRL | Qt::Key_S));
    Exit1 = NewAction(this, "Exit1", QStringLiteral("E&xit"), QKeySequence(Qt::CTRL | Qt::Key_X));
    OpenStripPage1 = NewAction(this, "OpenStripPage1", QStringLiteral("Open Strip &Page"),
                               QKeySequence(Qt::CTRL | Qt::Key_O));
    // Ctrl+Q as every other Linux program, beside the classic Ctrl+X.
    Exit1->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::CTRL | Qt::Key_Q)});
    file->addAction(AddComic1);
    ImportComics1 = NewAction(this, "ImportComics1", QStringLiteral("&Import Comics..."));
    ExportComics1 = NewAction(this, "ExportComics1", QStringLiteral("&Export Comics..."));
    file->addAction(ImportComics1);
    file->addAction(ExportComics1);
    file->addSeparator();
    file->addAction(CopyCurrentStrip1);
    file->addAction(PrintCurrentStrip1);
    file->addAction(OpenStripPage1);
    file->addSeparator();
    file->addAction(Settings1);
    file->addSeparator();
    file->addAction(Exit1);

    QMenu* update = menuBar()->addMenu(QStringLiteral("&Update"));
    update->setObjectName(QStringLiteral("Update1"));
    Updatecomicstrips1 = NewAction(this, "Updatecomicstrips1", QStringLiteral("&Update Comics"),
                                   QKeySequence(Qt::CTRL | Qt::Key_U));
    Updatecurrentcomic1 = NewAction(this, "Updatecurrentcomic1", QStringLiteral("Update &Current Comic"));
    FetchOlderStrips1 = NewAction(this, "FetchOlderStrips1", QStringLiteral("Fetch &Older Strips"));
    Abortallupdates1 = NewAction(this, "Abortallupdates1", QStringLiteral("&Abort All Updates"));
    update->addAction(Updatecomicstrips1);
    update->addAction(Updatecurrentcomic1);
    update->addAction(FetchOlderStrips1);
    update->addSeparator();
    update->addAction(Abortallupdates1);

    QMenu* wallpaper = menuBar()->addMenu(QStringLiteral("&Wallpaper"));
    wallpaper->setObjectName(QStringLiteral("Wallpaper1"));
    SetStripAsWallpaper1 = NewAction(this, "SetStripAsWallpaper1", QStringLiteral("&Set Strip As Wallpaper"));
    AlwaysSetLatestStrip1 =
        NewAction(this, "AlwaysSetLatestStrip1",
                  QStringLiteral("&Always Set The Latest Strip Of This Comic As Wallpaper"));
    AlwaysSetLatestStrip1->setCheckable(true);
    wallpaper->addAction(SetStripAsWallpaper1);
    wallpaper->addAction(AlwaysSetLatestStrip1);

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    view->setObjectName(QStringLiteral("View1"));
    FitToWindow1 = NewAction(this, "FitToWindow1", QStringLiteral("&Fit to Window"), QKeySequence(Qt::Key_F));
    FitWidth1 = NewAction(this, "FitWidth1", QStringLiteral("Fit &Width"), QKeySequence(Qt::Key_W));
    ActualSize1 =
        NewAction(this, "ActualSize1", QStringLiteral("&Actual Size"), QKeySequence(Qt::CTRL | Qt::Key_0));
    auto* zoomModes = new QActionGroup(this);
    for (QAction* a : {FitToWindow1, FitWidth1, ActualSize1}) {
        a->setCheckable(true);
        zoomModes->addAction(a);
    }
    // A factor of its own has no mark: the group may then have none checked.
    zoomModes->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    ZoomIn1 = NewAction(this, "ZoomIn1", QStringLiteral("Zoom &In"));
    ZoomIn1->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    ZoomOut1 =
        NewAction(this, "ZoomOut1", QStringLiteral("Zoom &Out"), QKeySequence(Qt::CTRL | Qt::Key_Minus));
    view->addAction(FitToWindow1);
    view->addAction(FitWidth1);
    view->addAction(ActualSize1);
    view->addSeparator();
    view->addAction(ZoomIn1);
    view->addAction(ZoomOut1);
    view->addSeparator();
    ShowTitleText1 = NewAction(this, "ShowTitleText1", QStringLiteral("Show &Title Text"));
    ShowTitleText1->setCheckable(true);
    ShowTitleText1->setChecked(true);
    view->addAction(ShowTitleText1);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("Help1"));
    Help2 = NewAction(this, "Help2", QStringLiteral("&Help..."), QKeySequence(Qt::Key_F1));
    Homepage1 = NewAction(this, "Homepage1", QStringLiteral("Home&page..."));
    About2 = NewAction(this, "About2", QStringLiteral("&About..."));
    help->addAction(Help2);
    help->addAction(Homepage1);
    help->addAction(About2);

    // The strip's context menu: the same commands as their main-menu twins.
    StripPopUp = new QMenu(this);
    StripPopUp->setObjectName(QStringLiteral("StripPopUp"));
    PrintCurrentStrip2 = NewAction(this, "PrintCurrentStrip2", QStringLiteral("&Print Current Strip..."));
    Updatecurrentcomic2 = NewAction(this, "Updatecurrentcomic2", QStringLiteral("Update &Current Comic"));
    SetStripAsWallpaper2 = NewAction(this, "SetStripAsWallpaper2", QStringLiteral("&Set Strip As Wallpaper"));
    AlwaysSetLatestStrip2 =
        NewAction(this, "AlwaysSetLatestStrip2",
                  QStringLiteral("&Always Set The Latest Strip Of This Comic As Wallpaper"));
    AlwaysSetLatestStrip2->setCheckable(true);
    OpenStripPage2 = NewAction(this, "OpenStripPage2", QStringLiteral("Open Strip &Page"));
    CopyStripPageAddress2 =
        NewAction(this, "CopyStripPageAddress2", QStringLiteral("Copy Strip Page &Address"));
    StripPopUp->addAction(PrintCurrentStrip2);
    StripPopUp->addAction(OpenStripPage2);
    StripPopUp->addAction(CopyStripPageAddress2);
    StripPopUp->addSeparator();
    StripPopUp->addAction(Updatecurrentcomic2);
    StripPopUp->addSeparator();
    StripPopUp->addAction(SetStripAsWallpaper2);
    StripPopUp->addAction(AlwaysSetLatestStrip2);
}

void TForm1::CreateTrayIcon()
{
    TrayPopUp = new QMenu(this);
    TrayPopUp->setObjectName(QStringLiteral("TrayPopUp"));
    ClosePanelwick1 = NewAction(this, "ClosePanelwick1", QStringLiteral("Close Panelwick"));
    TrayPopUp->addAction(ClosePanelwick1);

    TrayIcon1 = new desktop::TTrayIcon(this);
    TrayIcon1->setObjectName(QStringLiteral("TrayIcon1"));
    TrayIcon1->SetIcon(QIcon(QString::fromLatin1(NoticePictures::IconPath())));
    TrayIcon1->SetHint(QStringLiteral("Panelwick"));
    TrayIcon1->SetShowHint(true);
    TrayIcon1->SetPopupMenu(TrayPopUp);
    TrayIcon1->OnDblClick = [this] { TrayIcon1DblClick(); };
    TrayIcon1->Loaded();
}

void TForm1::ConnectCommands()
{
    connect(comboComics, &QComboBox::activated, this, Guard([this] { comboComicsChange(); }));
    connect(btnPrev, &QPushButton::clicked, this, Guard([this] { btnPrevClick(); }));
    connect(btnNext, &QPushButton::clicked, this, Guard([this] { btnNextClick(); }));
    connect(bitbtnAbort, &QPushButton::clicked, this, Guard([this] { updates_->AbortAll(); }));
    connect(bitbtnAdvancedInfo, &QPushButton::clicked, this, Guard([this] { updates_->ShowAdvancedInfo(); }));
    NoStripsTimer->OnTimer = [this] { NoStripsTimerTimer(*NoStripsTimer); };
    NoComicsTimer->OnTimer = [this] { NoStripsTimerTimer(*NoComicsTimer); };
    NoUnreadTimer->OnTimer = [this] { NoStripsTimerTimer(*NoUnreadTimer); };

    connect(CopyCurrentStrip1, &QAction::triggered, this,
            Guard([this] { Copycurrentstriptoclipboard1Click(); }));
    for (QAction* a : {PrintCurrentStrip1, PrintCurrentStrip2})
        connect(a, &QAction::triggered, this, Guard([this] { print_->PrintCurrentStrip(); }));
    connect(AddComic1, &QAction::triggered, this, Guard([this] { AddComic1Click(); }));
    connect(ImportComics1, &QAction::triggered, this, Guard([this] { ImportComics1Click(); }));
    connect(ExportComics1, &QAction::triggered, this, Guard([this] { ExportComics1Click(); }));
    connect(Settings1, &QAction::triggered, this, Guard([this] { Settings1Click(); }));
    connect(Exit1, &QAction::triggered, this, Guard([this] { Exit1Click(); }));
    connect(Updatecomicstrips1, &QAction::triggered, this, Guard([this] { updates_->UpdateAll(); }));
    for (QAction* a : {Updatecurrentcomic1, Updatecurrentcomic2})
        connect(a, &QAction::triggered, this, Guard([this] { updates_->UpdateCurrentComic(); }));
    connect(FetchOlderStrips1, &QAction::triggered, this, Guard([this] { updates_->FetchOlderStrips(); }));
    // "&Abort All Updates" has no action; the abort button stops updates.
    for (QAction* a : {SetStripAsWallpaper1, SetStripAsWallpaper2})
        connect(a, &QAction::triggered, this, Guard([this] { Setasbackgroundimage1Click(); }));
    // Qt has already turned the clicked item's mark over.
    for (QAction* a : {AlwaysSetLatestStrip1, AlwaysSetLatestStrip2})
        connect(a, &QAction::triggered, this, [this](bool checked) {
            platform::Guarded([&] { Alwassetthelateststripaswallpaper1Click(!checked); });
        });
    connect(ClosePanelwick1, &QAction::triggered, this, Guard([this] { ClosePanelwick1Click(); }));
    connect(FitToWindow1, &QAction::triggered, this,
            Guard([this] { SetZoom(StripZoom::Fit(StripZoom::Mode::FitToWindow)); }));
    connect(FitWidth1, &QAction::triggered, this,
            Guard([this] { SetZoom(StripZoom::Fit(StripZoom::Mode::FitWidth)); }));
    connect(ActualSize1, &QAction::triggered, this, Guard([this] { SetZoom(StripZoom()); }));
    connect(ShowTitleText1, &QAction::triggered, this,
            [this](bool on) { platform::Guarded([&] { ShowTitleText1Click(on); }); });
    for (QAction* a : {OpenStripPage1, OpenStripPage2})
        connect(a, &QAction::triggered, this, Guard([this] { OpenStripPage1Click(); }));
    connect(CopyStripPageAddress2, &QAction::triggered, this,
            Guard([this] { CopyStripPageAddress2Click(); }));
    // The steps end at 25 % and 400 %.
    scrollStrip->OnScaleChanged = [this](double scale) {
        ZoomIn1->setEnabled(StripZoom::CanStep(scale, true));
        ZoomOut1->setEnabled(StripZoom::CanStep(scale, false));
    };
    connect(ZoomIn1, &QAction::triggered, this, Guard([this] { ZoomStep(true); }));
    connect(ZoomOut1, &QAction::triggered, this, Guard([this] { ZoomStep(false); }));
    connect(Help2, &QAction::triggered, this, Guard([this] { Help2Click(); }));
    connect(Homepage1, &QAction::triggered, this, Guard([this] { Homepage1Click(); }));
    connect(About2, &QAction::triggered, this, Guard([this] { About2Click(); }));

    connect(Image1, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        platform::Guarded([&] { UpdateWallpaperCheck(); });
        StripPopUp->popup(Image1->mapToGlobal(pos));
    });
}

} // namespace pw::app
