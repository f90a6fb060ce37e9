#pragma once

#include <thread>

namespace pw::app {

// Reads the system's font configuration on a thread of its own while the application
// object connects to the display: laying out the window's first text would otherwise
// parse it on the main thread, which is most of what the first text costs.
class FontConfigPreload {
public:
    FontConfigPreload();
    ~FontConfigPreload();
    FontConfigPreload(const FontConfigPreload&) = delete;
    FontConfigPreload& operator=(const FontConfigPreload&) = delete;

    // Waits until the configuration is read; call it before the first text is laid out,
    // so that the two threads never read it twice.
    void Wait();

private:
    std::thread thread_;
};

} // namespace pw::app
