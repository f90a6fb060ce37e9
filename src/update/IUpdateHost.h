#pragma once

#include "update/IProgressDisplay.h"

namespace pw::comics {
class TComicInfo;
class TComicStrip;
} // namespace pw::comics

namespace pw::update {

// What the update scheduler needs from the main window. The batch mode and the tests
// implement it without any window.
class IUpdateHost : public IProgressDisplay {
public:
    virtual void SetAbortEnabled(bool) {}
    virtual void SetUpdateCommandEnabled(bool) {}
    virtual void ShowAdvancedInfoWindow() {}
    // The comic on screen, or nullptr.
    virtual comics::TComicInfo* ShownComic() const { return nullptr; }
    // Shows a newly stored strip of the comic on screen.
    virtual void ShowNewStrip(comics::TComicInfo&, const comics::TComicStrip&) {}
    virtual void SetStripAsWallpaper(const comics::TComicStrip&) {}
    virtual void AppendDebugLog(const QString&) {}
    // False when no debug log is kept: the jobs then build no log lines at all.
    virtual bool KeepsDebugLog() const { return true; }
};

} // namespace pw::update
