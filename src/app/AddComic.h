#pragma once

#include "app/StartupOptions.h"

#include <QTextStream>

namespace pw::app {

// "--add-comic ADDRESS [--name NAME]": asks the address, finds its source by the
// update's rules, appends "Name TAB address" to the user's own catalogue and chooses the
// comic. Prints "Added <Name>: <source kind>, newest strip <date>"; exit code 0, or 1
// with a message on standard error when nothing was added.
class AddComic {
public:
    static int Main(int argc, char** argv, TStartupOptions options);
    static int Run(const TStartupOptions& options, QTextStream& out);
};

} // namespace pw::app
