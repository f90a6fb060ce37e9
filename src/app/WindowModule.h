#pragma once

#include "app/SingleInstance.h"
#include "app/StartupOptions.h"

namespace pw::app {

// The window, with its dialogs, tray, printing and desktop parts, is a module of its own:
// the windowless commands never load it nor the Qt libraries it links (Gui, Widgets,
// PrintSupport, DBus), which would cost every batch run their start-up.
inline constexpr char kWindowModuleFile[] = "panelwick-window.so";
inline constexpr char kWindowEntryName[] = "panelwick_run_window";
// The build the module belongs to (kBuildVersion): a module of another build is refused,
// since the two share their types' layout.
inline constexpr char kWindowBuildName[] = "panelwick_window_build";

// The module's one entry: the window mode, for a start that has claimed the window.
using WindowEntry = int (*)(int argc, char** argv, const TStartupOptions& options,
                            const SingleInstance::TClaim& claim);
using WindowBuild = const char* (*)();

} // namespace pw::app
