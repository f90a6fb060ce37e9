#pragma once

class QString;

namespace pw::app {

// What the main window asks of the update engine. The engine is not part of the window;
// until it is connected these calls do nothing.
class UpdateHooks {
public:
    virtual ~UpdateHooks();

    virtual void UpdateAll() {}                          // "&Update Comics", start-up
    virtual void UpdateCurrentComic() {}                 // "Update &Current Comic"
    virtual void UpdateComic(const QString& /*name*/) {} // a comic just added
    virtual void FetchOlderStrips() {}                   // "Fetch &Older Strips" of the comic shown
    virtual void AbortAll() {}                           // bitbtnAbort
    virtual void ShowAdvancedInfo() {}                   // bitbtnAdvancedInfo: show or hide the window
    virtual void StartDailyTimer() {}                    // start-up with daily updates on
    // After the settings dialog's OK; only meaningful once the slot grid exists.
    virtual void SetSlotCount(int /*count*/) {}
    // Updates run or are queued.
    virtual bool Busy() const { return false; }
};

} // namespace pw::app
