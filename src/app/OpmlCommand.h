#pragma once

#include "app/StartupOptions.h"

#include <QTextStream>

namespace pw::app {

// "--import-opml FILE" and "--export-opml FILE" without a window. Import prints what
// it did ("Imported 3 comics; ..."), exit code 0, or 1 with a message on standard error
// when the file could not be used. Export writes the chosen comics; 0 when written.
class OpmlCommand {
public:
    static int Main(int argc, char** argv, TStartupOptions options);
    static int Run(const TStartupOptions& options, QTextStream& out);
};

} // namespace pw::app
