#pragma once

namespace pw::app {

// The project version and the source revision it was built from ("1.1+git0123abcdef").
extern const char kBuildVersion[];

} // namespace pw::app
