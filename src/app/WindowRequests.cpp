#include "app/WindowRequests.h"

#include "app/TForm1.h"
#include "app/TfrmAddComic.h"
#include "app/UnreadMarks.h"
#include "app/UpdateHooks.h"
#include "comics/TComicInfo.h"
#include "comics/TComicStripsDB.h"
#include "comics/TComicsList.h"
#include "desktop/WindowActivation.h"
#include "platform/ExceptionGuard.h"
#include "platform/IniFile.h"
#include "platform/LocalRequestServer.h"
#include "platform/MessageBoxService.h"
#include "sources/FeedReader.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>
#include <QUrl>

namespace pw::app {

WindowRequests::WindowRequests(int listenFd, QByteArray socketPath)
{
    if (listenFd < 0)
        return;
    server_ = std::make_unique<platform::LocalRequestServer>(listenFd, std::move(socketPath));
    server_->OnRequest = [this](const QByteArray& bytes) { return Take(bytes); };
}

WindowRequests::~WindowRequests() = default;

void WindowRequests::Attach(TForm1& form)
{
    form_ = &form;
    RunWaiting();
}

void WindowRequests::StopListening()
{
    server_.reset();
}

void WindowRequests::Post(const TInstanceRequest& request)
{
    waiting_.push_back(request);
    QTimer::singleShot(0, this, [this] { RunWaiting(); });
}

QByteArray WindowRequests::Take(const QByteArray& bytes)
{
    const std::optional<TInstanceRequest> request = TInstanceRequest::Decode(bytes);
    if (!request)
        return TInstanceRequest::Refused();
    // Acted on from the loop: the asking process has its answer before any dialog opens.
    Post(*request);
    return TInstanceRequest::Done();
}

void WindowRequests::RunWaiting()
{
    if (!form_) {
        // Still starting, perhaps in the first start's dialog: that comes forward.
        if (QWidget* modal = QApplication::activeModalWidget()) {
            modal->raise();
            modal->activateWindow();
        }
        return;
    }
    std::vector<TInstanceRequest> requests = std::move(waiting_);
    waiting_.clear();
    for (const TInstanceRequest& request : requests)
        platform::Guarded([&] { Run(request); });
}

void WindowRequests::Run(const TInstanceRequest& request)
{
    switch (request.Kind) {
    case TInstanceRequest::TKind::Show:
        Show(request);
        break;
    case TInstanceRequest::TKind::Strips:
        StripsArrived(request.ComicName);
        break;
    case TInstanceRequest::TKind::Catalogue:
        // The settings dialog shows the lists this changes: after it.
        if (!WaitForDialog(request))
            CatalogueChanged();
        break;
    }
}

void WindowRequests::Show(const TInstanceRequest& request)
{
    if (!form_->isVisible() || form_->isMinimized())
        form_->TrayIcon1DblClick(); // shown as from the tray
    // The start that asked vouches for the user's wish where the window system guards
    // against focus stealing.
    desktop::WindowActivation::Activate(*form_, request.StartupId, request.ActivationToken);

    QString address = request.Address;
    QString error;
    if (!request.FeedFile.isEmpty())
        address = FeedFileAddress(request.FeedFile, &error);
    if (QWidget* modal = QApplication::activeModalWidget()) {
        // A dialog is open: it comes forward; the address waits for it unless it is the
        // Add comic dialog itself, idle, which takes it.
        modal->raise();
        modal->activateWindow();
        auto* adding = qobject_cast<TfrmAddComic*>(modal);
        if (adding && !address.isEmpty() && !adding->Looking()) {
            adding->editAddress->setText(address);
            adding->btnLookClick();
            return;
        }
        if (!address.isEmpty() || !error.isEmpty()) {
            TInstanceRequest later;
            later.Address = request.Address;
            later.FeedFile = request.FeedFile;
            if (WaitForDialog(later))
                return;
        }
    }
    if (!error.isEmpty())
        platform::MessageBoxService::Error(error);
    if (!address.isEmpty())
        form_->AddComicAt(address);
}

bool WindowRequests::WaitForDialog(const TInstanceRequest& request)
{
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!dialog)
        return false;
    waiting_.push_back(request);
    connect(
        dialog, &QDialog::finished, this, [this] { QTimer::singleShot(0, this, [this] { RunWaiting(); }); },
        Qt::SingleShotConnection);
    return true;
}

void WindowRequests::StripsArrived(const QString& comicName)
{
    comics::TComicInfo* comic = form_->AllComics().FindByName(comicName);
    if (!comic || !comics::TComicStripsDB::IsUsableName(comicName))
        return;
    // As for a strip the window fetched itself: counted unread, shown when its comic is on
    // screen without an unread strip, made the wallpaper for the wallpaper comic.
    const bool hadUnread = form_->Unread().Count(comicName) > 0 && comic->CurrentStrip.has_value();
    form_->Unread().Refresh(comicName);
    form_->NoteNewStrip(comicName, QString());
    if (comic == form_->CurrentComic() && !hadUnread)
        if (const auto first = form_->StripsDB().FirstUnreadStrip(comicName))
            form_->ShowStrip(*comic, first);
    if (form_->Ini().ReadString(QStringLiteral("Wallpaper"), QStringLiteral("Comic"), QString()) == comicName)
        if (const auto newest = form_->StripsDB().NewestStrip(comicName))
            form_->SetStripAsWallpaper(newest);
}

void WindowRequests::CatalogueChanged()
{
    // Comics another process added to the user's catalogue join the window's; the choice
    // is read again from the configuration file.
    comics::TComicsList fresh;
    fresh.LoadUserCatalogue(form_->Options().Paths.UserCataloguePath);
    QStringList added;
    for (int i = 0; i < fresh.Count(); ++i) {
        const comics::TComicInfo* comic = fresh.GetItem(i);
        if (form_->AllComics().FindByName(comic->Name))
            continue;
        auto copy = std::make_unique<comics::TComicInfo>(comic->Name, comic->PageURL);
        copy->UserAdded = true;
        form_->AllComics().AddOwned(std::move(copy));
        added << comic->Name;
    }
    form_->ApplyChoice(form_->comboComics->currentText());
    // Their strips at once, as for a comic added in the window.
    for (const QString& name : added)
        if (form_->ComicsToGet().FindByName(name))
            form_->Updates().UpdateComic(name);
}

QString WindowRequests::FeedFileAddress(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Couldn't read %1: %2").arg(path, file.errorString());
        return {};
    }
    const QByteArray bytes = file.read(sources::Feed::kMaxBytes + 1);
    const sources::Feed feed = sources::ReadFeed(bytes, QUrl::fromLocalFile(path).toString());
    if (feed.Kind == sources::FeedKind::None || feed.Refused || bytes.size() > sources::Feed::kMaxBytes) {
        *error = QStringLiteral("%1 is no RSS or Atom feed.").arg(path);
        return {};
    }
    if (feed.Site.isEmpty()) {
        *error = QStringLiteral("The feed %1 names no web address; Panelwick follows comics on the web. "
                                "Give it the feed's address instead.")
                     .arg(path);
        return {};
    }
    return feed.Site;
}

} // namespace pw::app
