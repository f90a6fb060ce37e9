#include "app/TStartup.h"

#include "app/DesktopComponents.h"
#include "app/GuardedApplication.h"
#include "app/NoticePictures.h"
#include "app/PrintDialogHooks.h"
#include "app/QtMessageBoxes.h"
#include "app/SingleInstance.h"
#include "app/StartupPreload.h"
#include "app/TAboutBox.h"
#include "app/TForm1.h"
#include "app/TForm2.h"
#include "app/UpdateEngine.h"
#include "app/WindowRequests.h"
#include "comics/TComicsList.h"
#include "platform/ExceptionGuard.h"
#include "platform/MessageBoxService.h"
#include "platform/MessageTarget.h"
#include "platform/TerminationSignal.h"
#include "platform/Tunables.h"

#include <QIcon>
#include <QPixmap>
#include <utility>

namespace pw::app {

TStartup::TStartup() : form1_(std::make_unique<TForm1>())
{
    auto desktop = std::make_unique<DesktopComponents>(*form1_);
    // The desktop parts' lines go to the debug log, which is made after the window; what
    // they say while the window starts waits for it.
    desktop->Log = [this](const QString& line) {
        if (form2_)
            form2_->Append(line);
        else
            earlyLog_ << line;
    };
    form1_->SetDesktopIntegration(std::move(desktop));
}

TStartup::~TStartup() = default;

bool TStartup::Start(const TStartupOptions& options)
{
    // 1. The main window: its creation runs the start-up steps.
    if (!form1_->FormCreate(options))
        return false;
    // 2. The debug log, hidden for good.
    form2_ = std::make_unique<TForm2>();
    for (const QString& line : std::exchange(earlyLog_, {}))
        form2_->Append(line);
    for (const QString& name : form1_->AllComics().RefusedNames())
        form2_->Append(QStringLiteral("Comics.urls: the comic \"%1\" is left out: its name cannot be a "
                                      "key of the configuration file")
                           .arg(name));
    for (const auto& [first, other] : form1_->AllComics().CaseClashes())
        form2_->Append(QStringLiteral("Catalogue: the comics \"%1\" and \"%2\" differ only in letter case; "
                                      "they share one key of the configuration file, so choosing one "
                                      "chooses both")
                           .arg(first, other));
    // 3. The Advanced Info window; its creation sends the start-up message. The strip it
    // shows is decoded on another core while the window is made and shown.
    form1_->DecodeAside(true);
    CreateAdvancedInfoWindow();
    // 4. The print dialog.
    CreatePrintDialog();
    // 5. The About box, made when the user first asks for it.
    if (!form1_->RunAboutModal)
        form1_->RunAboutModal = [this] { AboutBox().exec(); };
    // 6. Then the message loop, with the main window shown unless starting minimised.
    if (form1_->ShowAtStart())
        form1_->show();
    form1_->DecodeAside(false);
    return true;
}

void TStartup::EndOnRequest()
{
    // A window on screen closes as through its frame, saving what that saves; one hidden
    // in the tray cannot be closed so and ends like the tray menu's "Close Panelwick".
    if (form1_->isVisible())
        form1_->close();
    else
        form1_->ClosePanelwick1Click();
}

TAboutBox& TStartup::AboutBox()
{
    if (!aboutBox_)
        aboutBox_ = std::make_unique<TAboutBox>(form1_.get());
    return *aboutBox_;
}

void TStartup::CreateAdvancedInfoWindow()
{
    // The Advanced Info is set up here; once its slots exist it sends the main window
    // the start-up message, synchronously, whose updates need the engine. Its window is
    // made when first shown.
    auto engine = std::make_unique<UpdateEngine>(*form1_, *form2_);
    UpdateEngine& created = *engine;
    form1_->SetUpdateHooks(std::move(engine));
    created.CreateInfoForm();
}

void TStartup::CreatePrintDialog()
{
    form1_->SetPrintHooks(std::make_unique<PrintDialogHooks>(*form1_));
}

int RunPanelwick(int argc, char** argv, TStartupOptions options, const SingleInstance::TClaim& claim)
{
    // Beside the application's making.
    StartupPreload preload(QString::fromLatin1(NoticePictures::IconPath()));
    GuardedApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Panelwick"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.panelwick.Panelwick")); // menu entry and icon
    QApplication::setWindowIcon(QIcon(QPixmap::fromImage(preload.TakeIcon())));
    platform::MessageBoxService::Install(std::make_unique<QtMessageBoxes>());
    platform::MessageBoxService::SetCaption(QStringLiteral("Panelwick"));
    platform::Tunables::ReadEnvironment();
    options.DecidePaths(QApplication::applicationFilePath());

    WindowRequests requests(claim.ListenFd, claim.SocketPath);
    if (!options.OpenFeedFile.isEmpty()) {
        QString error;
        options.OpenAddress = WindowRequests::FeedFileAddress(options.OpenFeedFile, &error);
        if (!error.isEmpty())
            platform::MessageBoxService::Error(error);
    }

    TStartup startup;
    bool started = false;
    // An error during start-up (a configuration file that cannot be written, say) ends
    // the program with its message instead of a crash.
    platform::Guarded([&] { started = startup.Start(options); });
    if (!started)
        return 1;
    // The address the program was started with, unless the first start's dialog took it.
    if (const QString& address = startup.MainWindow().Options().OpenAddress; !address.isEmpty()) {
        TInstanceRequest request;
        request.Address = address;
        requests.Post(request);
    }
    requests.Attach(startup.MainWindow());
    QObject::connect(&app, &QCoreApplication::aboutToQuit, [&requests] { requests.StopListening(); });
    // Logging out of a desktop ends its programs with SIGTERM.
    platform::TerminationSignal termination;
    termination.OnTerminate = [&startup] { startup.EndOnRequest(); };
    return QApplication::exec();
}

} // namespace pw::app
