#pragma once

namespace pw::app {

// What "&Print Current Strip..." runs: the print dialog in the program (PrintDialogHooks);
// by itself nothing, for windows made without one.
class PrintHooks {
public:
    virtual ~PrintHooks();
    virtual void PrintCurrentStrip() {}
};

} // namespace pw::app
