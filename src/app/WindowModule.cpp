#include "app/WindowModule.h"

#include "app/BuildVersion.h"
#include "app/TStartup.h"

#include <type_traits>

extern "C" __attribute__((visibility("default"))) int
panelwick_run_window(int argc, char** argv, const pw::app::TStartupOptions& options,
                     const pw::app::SingleInstance::TClaim& claim)
{
    return pw::app::RunPanelwick(argc, argv, options, claim);
}

extern "C" __attribute__((visibility("default"))) const char* panelwick_window_build()
{
    return pw::app::kBuildVersion;
}

// The executable calls them through these types.
static_assert(std::is_same_v<decltype(&panelwick_run_window), pw::app::WindowEntry>);
static_assert(std::is_same_v<decltype(&panelwick_window_build), pw::app::WindowBuild>);
