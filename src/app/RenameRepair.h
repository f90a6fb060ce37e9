#pragma once

namespace pw::platform {
class TIniFile;
struct TProgramPaths;
} // namespace pw::platform

namespace pw::app {

// Before the catalogue is read: a rename of a comic that a crash cut short is finished, so
// that the catalogue, the strip folders and the settings agree. A failure is told and
// the rename is tried again at the next start.
void FinishInterruptedRename(const platform::TProgramPaths& paths, platform::TIniFile& ini);

} // namespace pw::app
