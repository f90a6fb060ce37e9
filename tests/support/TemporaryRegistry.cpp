#include "TemporaryRegistry.h"

#include "platform/TRegistry.h"

namespace pw::test {

TemporaryRegistry::TemporaryRegistry()
{
    platform::RegistryRoots::UserFolder = User();
    platform::RegistryRoots::MachineFolder = Machine();
}

TemporaryRegistry::~TemporaryRegistry()
{
    platform::RegistryRoots::UserFolder.clear();
    platform::RegistryRoots::MachineFolder = QStringLiteral("/etc/xdg");
}

} // namespace pw::test
