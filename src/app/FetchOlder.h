#pragma once

#include "app/StartupOptions.h"

#include <QTextStream>

namespace pw::app {

// "--fetch-older NAME [--max N]": fetch one comic's older strips without any window and
// print one line, "<Name>: <result>". Exit code 0 when strips were stored or there was
// nothing older, 1 otherwise.
class FetchOlder {
public:
    static int Main(int argc, char** argv, TStartupOptions options);
    static int Run(const TStartupOptions& options, QTextStream& out);
};

} // namespace pw::app
