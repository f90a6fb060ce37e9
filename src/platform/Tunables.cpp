#include "Tunables.h"

#include <QByteArray>

namespace pw::platform {

void Tunables::ReadEnvironment()
{
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("PANELWICK_JOB_TIMEOUT_MS", &ok);
    if (ok && ms > 0)
        JobTimeoutMs = ms;
}

} // namespace pw::platform
