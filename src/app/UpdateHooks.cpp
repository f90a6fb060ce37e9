#include "app/UpdateHooks.h"

namespace pw::app {

UpdateHooks::~UpdateHooks() = default;

} // namespace pw::app
