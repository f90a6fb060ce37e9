#pragma once

namespace pw::app {

// The process entry: reads the command line and runs the window, the batch update,
// or prints the help or the version. Bad usage prints the usage to standard error and
// returns 2, before any application object (and so any display) is needed.
int ProgramEntry(int argc, char** argv);

} // namespace pw::app
