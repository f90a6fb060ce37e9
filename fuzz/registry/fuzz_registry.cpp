// Reads arbitrary bytes as the registry file and as an autostart entry: nothing may
// crash, what was read must be written back and read again the same, an entry's command
// must survive being written out again, and an entry updated in place stays ours.
#include "platform/AutostartEntry.h"
#include "platform/RegistryFile.h"

#include <QByteArray>
#include <cstdint>
#include <cstdlib>

using pw::platform::AutostartEntry;
using pw::platform::RegistryData;
using pw::platform::RegistryFile;

namespace {

bool Same(const RegistryData& a, const RegistryData& b)
{
    if (a.Keys.size() != b.Keys.size())
        return false;
    for (std::size_t i = 0; i < a.Keys.size(); ++i) {
        if (a.Keys[i].Path != b.Keys[i].Path || a.Keys[i].Values != b.Keys[i].Values)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    if (const auto parsed = RegistryFile::Parse(bytes)) {
        const auto again = RegistryFile::Parse(RegistryFile::Format(*parsed));
        if (!again || !Same(*parsed, *again))
            std::abort();
    }

    for (const bool runOnce : {false, true}) {
        const auto value = AutostartEntry::Data(bytes, QStringLiteral("Panelwick"), runOnce);
        if (!value || value->isEmpty())
            continue;
        const auto again =
            AutostartEntry::Data(AutostartEntry::Format(QStringLiteral("Panelwick"), *value, runOnce),
                                 QStringLiteral("panelwick"), runOnce);
        if (again != value)
            std::abort();
        // Our entry, updated in place: still ours, starting the new program, switched on,
        // and updating it again changes nothing.
        const QString moved = QStringLiteral("\"/new place/panelwick\"");
        const QByteArray updated = AutostartEntry::Updated(bytes, moved);
        if (AutostartEntry::Data(updated, QStringLiteral("Panelwick"), runOnce) != moved ||
            AutostartEntry::SwitchedOff(updated) || AutostartEntry::Updated(updated, moved) != updated)
            std::abort();
    }
    return 0;
}
