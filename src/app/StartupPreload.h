#pragma once

#include <QImage>
#include <QString>
#include <thread>

namespace pw::app {

// Reads what the window's first frame needs from disk on a thread of its own while the
// application object connects to the display: the system's font configuration, which
// laying out the first text would otherwise parse on the main thread, and the window's
// icon, whose reading first looks through Qt's picture plugins.
class StartupPreload {
public:
    explicit StartupPreload(QString iconPath);
    ~StartupPreload();
    StartupPreload(const StartupPreload&) = delete;
    StartupPreload& operator=(const StartupPreload&) = delete;

    // Waits for the thread, then gives the icon's picture (null when it cannot be read).
    // Called before the first text is laid out, so that the font configuration is never
    // read twice.
    QImage TakeIcon();

private:
    QString iconPath_;
    QImage icon_;
    std::thread thread_;
};

} // namespace pw::app
