#pragma once

#include <QString>
#include <functional>

namespace pw::test {

// Source tree (for committed fixtures) and build tree, as CTest passes them.
QString SourceDir();
QString BinaryDir();
QString FixturePath(const QString& relative); // tests/fixtures/<relative>

// Waits in the event loop until pred() holds or ms pass; returns pred().
bool WaitFor(const std::function<bool()>& pred, int ms = 30000);

} // namespace pw::test
