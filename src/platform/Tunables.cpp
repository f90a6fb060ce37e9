#include "Tunables.h"

#include <QByteArray>
#include <algorithm>
#include <limits>

namespace pw::platform {

void Tunables::ReadEnvironment()
{
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("PANELWICK_JOB_TIMEOUT_MS", &ok);
    if (ok && ms > 0)
        JobTimeoutMs = ms;
}

int Tunables::JobDeadlineMs()
{
    const qint64 ms = static_cast<qint64>(JobTimeoutMs) * JobDeadlineFactor;
    return static_cast<int>(std::clamp<qint64>(ms, 1, std::numeric_limits<int>::max()));
}

} // namespace pw::platform
