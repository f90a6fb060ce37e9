#pragma once

#include <functional>

class QString;
class QTextStream;

namespace pw::app {

struct TStartupOptions;

// What every windowless run (batch update, adding a comic) sets up once its application
// object exists: messages go to standard error, tunables and paths are decided.
void PrepareConsoleRun(TStartupOptions& options);

// Runs a windowless command with its application object set up, its results on standard
// output; a file that cannot be read or written ends it with the reason, exit status 1.
int RunConsoleCommand(int argc, char** argv, TStartupOptions options,
                      const std::function<int(const TStartupOptions&, QTextStream&)>& run);

// Tells why a windowless run cannot do what it was asked; the exit status for that.
int RefuseConsoleRun(const QString& text);

} // namespace pw::app
