#pragma once

namespace pw::app {

// The print dialog, once it exists; until then printing does nothing.
class PrintHooks {
public:
    virtual ~PrintHooks();
    virtual void PrintCurrentStrip() {}
};

} // namespace pw::app
