#pragma once

#include <QObject>
#include <functional>

class QDBusServiceWatcher;

namespace pw::desktop {

// Whether a panel that shows StatusNotifierItems runs: a watcher on the session bus with
// a host registered. Asked once at start (a panel starting after the program is common
// at logon), then followed through the watcher's signals.
class StatusNotifierWatch : public QObject {
    Q_OBJECT
public:
    explicit StatusNotifierWatch(QObject* parent = nullptr);

    bool HostRegistered() const { return hostRegistered_; }
    // A host came or went, or the watcher started again: items must register again.
    std::function<void()> OnChanged;

private slots:
    void Refresh();

private:
    void Take(bool hostRegistered);

    QDBusServiceWatcher* service_ = nullptr;
    bool hostRegistered_ = false;
};

} // namespace pw::desktop
