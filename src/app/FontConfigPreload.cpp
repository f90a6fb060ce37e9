#include "app/FontConfigPreload.h"

#include <fontconfig/fontconfig.h>

namespace pw::app {

FontConfigPreload::FontConfigPreload() : thread_([] { FcInit(); }) {}

FontConfigPreload::~FontConfigPreload()
{
    Wait();
}

void FontConfigPreload::Wait()
{
    if (thread_.joinable())
        thread_.join();
}

} // namespace pw::app
