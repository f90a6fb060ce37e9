#pragma once

namespace pw::app {

struct TStartupOptions;

// What every windowless run (batch update, adding a comic) sets up once its application
// object exists: messages go to standard error, tunables and paths are decided.
void PrepareConsoleRun(TStartupOptions& options);

} // namespace pw::app
