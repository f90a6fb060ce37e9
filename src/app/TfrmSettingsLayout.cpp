// The settings dialog's controls.
#include "app/TfrmSettings.h"

#include "platform/ExceptionGuard.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimeEdit>

namespace pw::app {

namespace {
template <class W> W* Named(W* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QLabel* BoldLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    QFont f = label->font();
    f.setBold(true);
    label->setFont(f);
    return label;
}

template <class F> auto Guard(F f)
{
    return [f] { platform::Guarded(f); };
}
} // namespace

void TfrmSettings::CreateControls()
{
    setObjectName(QStringLiteral("frmSettings"));
    setWindowTitle(QStringLiteral("Settings"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(346, 401);

    // The fixed size was laid out for a compact dialog font: keep the captions whole.
    QFont compact = font();
    compact.setPointSizeF(compact.pointSizeF() * 0.9);
    setFont(compact);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(6, 6, 6, 6);
    PageControl1 = Named(new QTabWidget(this), "PageControl1");
    column->addWidget(PageControl1, 1);

    // "Comics"
    tabComics = Named(new QWidget, "tabComics");
    auto* comicsGrid = new QGridLayout(tabComics);
    comicsGrid->setContentsMargins(6, 6, 6, 6);
    comicsGrid->addWidget(BoldLabel(QStringLiteral("Available Comics:"), tabComics), 0, 0);
    lstboxComicsNotToGet = Named(new QListWidget(tabComics), "lstboxComicsNotToGet");
    lstboxComicsNotToGet->setSelectionMode(QAbstractItemView::ExtendedSelection);
    comicsGrid->addWidget(lstboxComicsNotToGet, 1, 0);
    auto* moveColumn = new QVBoxLayout;
    moveColumn->addStretch(1);
    btnDeleteComic = Named(new QPushButton(QStringLiteral("<---"), tabComics), "btnDeleteComic");
    btnAddComic = Named(new QPushButton(QStringLiteral("--->"), tabComics), "btnAddComic");
    btnDeleteComic->setFixedWidth(40);
    btnAddComic->setFixedWidth(40);
    btnDeleteComic->setAutoDefault(false);
    btnAddComic->setAutoDefault(false);
    moveColumn->addWidget(btnDeleteComic);
    moveColumn->addWidget(btnAddComic);
    moveColumn->addStretch(1);
    comicsGrid->addLayout(moveColumn, 1, 1);
    comicsGrid->addWidget(BoldLabel(QStringLiteral("Comics To Update:"), tabComics), 0, 2);
    lstboxComicsToGet = Named(new QListWidget(tabComics), "lstboxComicsToGet");
    lstboxComicsToGet->setSelectionMode(QAbstractItemView::ExtendedSelection);
    comicsGrid->addWidget(lstboxComicsToGet, 1, 2);
    auto* ownRow = new QHBoxLayout;
    btnNewComic = Named(new QPushButton(QStringLiteral("&Add comic\u2026"), tabComics), "btnNewComic");
    btnRemoveComic = Named(new QPushButton(QStringLiteral("&Remove"), tabComics), "btnRemoveComic");
    btnEditComic = Named(new QPushButton(QStringLiteral("&Edit..."), tabComics), "btnEditComic");
    btnNewComic->setAutoDefault(false);
    btnRemoveComic->setAutoDefault(false);
    btnEditComic->setAutoDefault(false);
    btnRemoveComic->setEnabled(false);
    btnEditComic->setEnabled(false);
    ownRow->addWidget(btnNewComic);
    ownRow->addWidget(btnRemoveComic);
    ownRow->addWidget(btnEditComic);
    ownRow->addStretch(1);
    comicsGrid->addLayout(ownRow, 2, 0, 1, 3);
    lblAddHint = Named(new QLabel(QStringLiteral("Follow any comic with a feed or a picture page: "
                                                 "Add comic\u2026 and give its address."),
                                  tabComics),
                       "lblAddHint");
    lblAddHint->setWordWrap(true);
    comicsGrid->addWidget(lblAddHint, 3, 0, 1, 3);
    PageControl1->addTab(tabComics, QStringLiteral("Comics"));

    // "Updates"
    tabUpdates = Named(new QWidget, "tabUpdates");
    auto* updates = new QVBoxLayout(tabUpdates);
    updates->setContentsMargins(6, 6, 6, 6);
    auto* speed = new QGroupBox(QStringLiteral("Speed"), tabUpdates);
    auto* speedRow = new QHBoxLayout(speed);
    speedRow->setContentsMargins(6, 6, 6, 6);
    speedRow->addWidget(new QLabel(QStringLiteral("Max "), speed));
    MaxDownloadsEdit = Named(new QLineEdit(speed), "MaxDownloadsEdit");
    MaxDownloadsEdit->setMaxLength(2);
    MaxDownloadsEdit->setFixedWidth(30);
    speedRow->addWidget(MaxDownloadsEdit);
    speedRow->addWidget(new QLabel(QStringLiteral("updates at the same time."), speed));
    speedRow->addStretch(1);
    updates->addWidget(speed);
    auto* info = new QGroupBox(QStringLiteral("Info"), tabUpdates);
    auto* infoRow = new QVBoxLayout(info);
    infoRow->setContentsMargins(6, 6, 6, 6);
    chkboxAdvancedInfo =
        Named(new QCheckBox(QStringLiteral("Show advanced info when a new update is started"), info),
              "chkboxAdvancedInfo");
    infoRow->addWidget(chkboxAdvancedInfo);
    chkboxNotifyNewStrips =
        Named(new QCheckBox(QStringLiteral("Notify me about new strips"), info), "chkboxNotifyNewStrips");
    infoRow->addWidget(chkboxNotifyNewStrips);
    updates->addWidget(info);
    auto* frequency = new QGroupBox(QStringLiteral("Update Frequency"), tabUpdates);
    auto* frequencyColumn = new QVBoxLayout(frequency);
    frequencyColumn->setContentsMargins(6, 6, 6, 6);
    radioUpdateManually =
        Named(new QRadioButton(QStringLiteral("Update only manually"), frequency), "radioUpdateManually");
    radioUpdateProgramStart =
        Named(new QRadioButton(QStringLiteral("Update everytime the program starts"), frequency),
              "radioUpdateProgramStart");
    radioUpdateDaily =
        Named(new QRadioButton(QStringLiteral("Update daily at:"), frequency), "radioUpdateDaily");
    UpdateTime = Named(new QTimeEdit(frequency), "UpdateTime");
    UpdateTime->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    frequencyColumn->addWidget(radioUpdateManually);
    frequencyColumn->addWidget(radioUpdateProgramStart);
    auto* dailyRow = new QHBoxLayout;
    dailyRow->addWidget(radioUpdateDaily);
    dailyRow->addWidget(UpdateTime);
    dailyRow->addStretch(1);
    frequencyColumn->addLayout(dailyRow);
    updates->addWidget(frequency);
    updates->addStretch(1);
    PageControl1->addTab(tabUpdates, QStringLiteral("Updates"));

    // "Proxy"
    tabProxy = Named(new QWidget, "tabProxy");
    auto* proxy = new QVBoxLayout(tabProxy);
    proxy->setContentsMargins(6, 6, 6, 6);
    auto* server = new QGroupBox(QStringLiteral("HTTP Proxy Server"), tabProxy);
    auto* serverGrid = new QGridLayout(server);
    serverGrid->setContentsMargins(6, 6, 6, 6);
    chkboxUseProxy =
        Named(new QCheckBox(QStringLiteral("Use a HTTP proxy server"), server), "chkboxUseProxy");
    serverGrid->addWidget(chkboxUseProxy, 0, 0, 1, 2);
    serverGrid->addWidget(new QLabel(QStringLiteral("IP:"), server), 1, 0);
    editProxyIP = Named(new QLineEdit(server), "editProxyIP");
    editProxyIP->setMaxLength(15);
    serverGrid->addWidget(editProxyIP, 1, 1);
    serverGrid->addWidget(new QLabel(QStringLiteral("Port:"), server), 2, 0);
    editProxyPort = Named(new QLineEdit(server), "editProxyPort");
    editProxyPort->setMaxLength(5);
    serverGrid->addWidget(editProxyPort, 2, 1);
    proxy->addWidget(server);
    proxy->addStretch(1);
    PageControl1->addTab(tabProxy, QStringLiteral("Proxy"));

    // "Misc"
    tabMisc = Named(new QWidget, "tabMisc");
    auto* misc = new QVBoxLayout(tabMisc);
    misc->setContentsMargins(6, 6, 6, 6);
    auto* start = new QGroupBox(QStringLiteral("Program Start"), tabMisc);
    auto* startColumn = new QVBoxLayout(start);
    startColumn->setContentsMargins(6, 6, 6, 6);
    chkboxAutoStart =
        Named(new QCheckBox(QStringLiteral("Start Panelwick when I log in"), start), "chkboxAutoStart");
    chkboxStartMinimized =
        Named(new QCheckBox(QStringLiteral("Start the program minimized"), start), "chkboxStartMinimized");
    startColumn->addWidget(chkboxAutoStart);
    startColumn->addWidget(chkboxStartMinimized);
    misc->addWidget(start);
    misc->addStretch(1);
    PageControl1->addTab(tabMisc, QStringLiteral("Misc"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    btnOk = Named(new QPushButton(QStringLiteral("Ok"), this), "btnOk");
    btnOk->setDefault(true);
    btnCancel = Named(new QPushButton(QStringLiteral("Cancel"), this), "btnCancel");
    btnCancel->setAutoDefault(false);
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    column->addLayout(buttons);
}

void TfrmSettings::ConnectControls()
{
    connect(btnAddComic, &QPushButton::clicked, this, Guard([this] { btnAddComicClick(); }));
    connect(btnDeleteComic, &QPushButton::clicked, this, Guard([this] { btnDeleteComicClick(); }));
    connect(btnNewComic, &QPushButton::clicked, this, Guard([this] { btnNewComicClick(); }));
    connect(btnRemoveComic, &QPushButton::clicked, this, Guard([this] { btnRemoveComicClick(); }));
    connect(btnEditComic, &QPushButton::clicked, this, Guard([this] { btnEditComicClick(); }));
    for (QListWidget* list : {lstboxComicsNotToGet, lstboxComicsToGet})
        connect(list, &QListWidget::itemSelectionChanged, this, Guard([this] { UpdateRemoveButton(); }));
    connect(lstboxComicsNotToGet, &QListWidget::itemDoubleClicked, this,
            Guard([this] { btnAddComicClick(); }));
    connect(lstboxComicsToGet, &QListWidget::itemDoubleClicked, this,
            Guard([this] { btnDeleteComicClick(); }));
    connect(chkboxUseProxy, &QCheckBox::toggled, this, Guard([this] { chkboxUseProxyClick(); }));
    connect(btnOk, &QPushButton::clicked, this, Guard([this] { btnOkClick(); }));
    connect(btnCancel, &QPushButton::clicked, this, Guard([this] { btnCancelClick(); }));
    MaxDownloadsEdit->installEventFilter(this);
    editProxyPort->installEventFilter(this);
}

} // namespace pw::app
