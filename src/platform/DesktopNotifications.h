#pragma once

#include <QObject>
#include <QString>
#include <functional>

namespace pw::platform {

// Notifications through the desktop's notification service, org.freedesktop.Notifications
// on the session bus. Nothing here waits for the service: its answers arrive through the
// event loop, so a slow or missing service never holds up the window.
class DesktopNotifications : public QObject {
    Q_OBJECT
public:
    explicit DesktopNotifications(QObject* parent = nullptr);

    // Shows one notification; the body is plain text (escaped for a service that reads
    // markup). `clicked` runs when the user clicks it; `failed` runs when no service took
    // it (no session bus, no service, an error answer, no answer in time).
    void Notify(const QString& summary, const QString& body, std::function<void()> clicked,
                std::function<void()> failed);

private slots:
    void ActionInvoked(uint id, const QString& actionKey);

private:
    void Listen();
    void Send(const QString& summary, const QString& body, std::function<void()> clicked,
              std::function<void()> failed);

    bool listening_ = false;
    uint shownId_ = 0; // the notification whose click counts; 0 for none
    std::function<void()> clicked_;
};

} // namespace pw::platform
