#pragma once

#include <QString>
#include <functional>

namespace pw::platform {

// Shell "open" of a file or web address with the desktop's default handler.
class DesktopShell {
public:
    static void Open(const QString& fileOrUrl);
    // Tests replace the opener to see what would be opened.
    static inline std::function<void(const QString&)> Opener;
};

} // namespace pw::platform
