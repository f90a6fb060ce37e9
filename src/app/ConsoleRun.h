#pragma once

class QString;

namespace pw::app {

struct TStartupOptions;

// What every windowless run (batch update, adding a comic) sets up once its application
// object exists: messages go to standard error, tunables and paths are decided.
void PrepareConsoleRun(TStartupOptions& options);

// Tells why a windowless run cannot do what it was asked; the exit status for that.
int RefuseConsoleRun(const QString& text);

} // namespace pw::app
