#include "app/StartupPreload.h"

#include <fontconfig/fontconfig.h>
#include <utility>

namespace pw::app {

StartupPreload::StartupPreload(QString iconPath)
    : iconPath_(std::move(iconPath)), thread_([this] {
          FcInit();
          icon_ = QImage(iconPath_);
      })
{
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
