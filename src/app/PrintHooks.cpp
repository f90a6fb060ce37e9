#include "app/PrintHooks.h"

namespace pw::app {

PrintHooks::~PrintHooks() = default;

} // namespace pw::app
