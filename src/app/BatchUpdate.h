#pragma once

#include "app/StartupOptions.h"

#include <QTextStream>

namespace pw::app {

// "--batch-update": update every chosen comic with the program's engine and settings,
// without any window; every message box goes to standard error. Prints one line per
// finished comic and then the summary. Exit code 0 when nothing failed, 1 when
// something failed, 2 when the update could not start.
class BatchUpdate {
public:
    // Runs with its own (windowless) application object.
    static int Main(int argc, char** argv, TStartupOptions options);
    // The work itself, inside a running application object.
    static int Run(const TStartupOptions& options, QTextStream& out);
};

} // namespace pw::app
