#include "app/StartupPreload.h"

#include <QThread>
#include <fontconfig/fontconfig.h>
#include <utility>

namespace pw::app {

StartupPreload::StartupPreload(QString iconPath) : iconPath_(std::move(iconPath))
{
    // Qt takes the first thread that asks for its thread data for its main thread: this
    // one asks before the preload thread's picture reading can.
    QThread::currentThread();
    thread_ = std::thread([this] {
        FcInit();
        icon_ = QImage(iconPath_);
    });
}

StartupPreload::~StartupPreload()
{
    if (thread_.joinable())
        thread_.join();
}

QImage StartupPreload::TakeIcon()
{
    if (thread_.joinable())
        thread_.join();
    return std::exchange(icon_, {});
}

} // namespace pw::app
