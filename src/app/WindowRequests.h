#pragma once

#include "app/InstanceRequest.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <memory>
#include <vector>

namespace pw::platform {
class LocalRequestServer;
}

namespace pw::app {

class TForm1;

// What other Panelwick processes ask of the running window: a second start brings the
// window forward (and opens Add comic with its address); "--batch-update" and
// "--add-comic" beside the window say what they changed, and the window shows it.
// Requests are answered at once and acted on from the event loop; those that arrive
// while the window is still starting wait for it.
class WindowRequests : public QObject {
public:
    // listenFd: the listening socket SingleInstance claimed (taken over).
    WindowRequests(int listenFd, QByteArray socketPath);
    ~WindowRequests() override;

    // The window is up: requests go to it from now on, the waiting ones first.
    void Attach(TForm1& form);
    // The window is closing: later starts find no one and start a window of their own.
    void StopListening();
    // A request of this process's own (the address it was started with).
    void Post(const TInstanceRequest& request);

    // The web address a feed saved on this computer belongs to (its site, whose page
    // links the feed); empty with *error when the file is no feed or names none.
    static QString FeedFileAddress(const QString& path, QString* error);

private:
    QByteArray Take(const QByteArray& bytes);
    void Run(const TInstanceRequest& request);
    void Show(const TInstanceRequest& request);
    void StripsArrived(const QString& comicName);
    void CatalogueChanged();
    void RunWaiting();
    // Keeps the request until the modal dialog now open closes; false when none is open.
    bool WaitForDialog(const TInstanceRequest& request);

    std::unique_ptr<platform::LocalRequestServer> server_;
    TForm1* form_ = nullptr;
    std::vector<TInstanceRequest> waiting_;
};

} // namespace pw::app
