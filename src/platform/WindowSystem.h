#pragma once

namespace pw::platform {

// What the window system lets the program do with its own top-level windows.
class WindowSystem {
public:
    // False on Wayland: the compositor places every window, and a program can neither
    // move its window nor learn where it is. Sizes and the maximised state still apply.
    static bool PlacesWindows();
};

} // namespace pw::platform
