#include "desktop/TLumbrinAutostart.h"

#include <QCoreApplication>
#include <array>
#include <utility>

namespace pw::desktop {

using platform::TRegistry;
using platform::TRootKey;

namespace {
const QString& KeyOf(bool runOnce)
{
    return runOnce ? TRegistry::kRunOnceKey : TRegistry::kRunKey;
}
} // namespace

TLumbrinAutostart::TFirstWrite& TLumbrinAutostart::ProcessFirstWrite()
{
    static TFirstWrite flag;
    return flag;
}

TLumbrinAutostart::TLumbrinAutostart(QString executable, TFirstWrite& firstWrite)
    : executable_(std::move(executable)), firstWrite_(firstWrite),
      appName_(QCoreApplication::applicationName() + QStringLiteral("#Autostart"))
{
}

TRootKey TLumbrinAutostart::Root() const
{
    return global_ ? TRootKey::LocalMachine : TRootKey::CurrentUser;
}

bool TLumbrinAutostart::EntryPresent(Kind kind, TRootKey root) const
{
    if (appName_.isEmpty())
        return false;
    TRegistry registry(root);
    if (!registry.OpenKey(KeyOf(kind == Kind::RunOnce), false))
        return false;
    return !registry.ReadString(appName_).isEmpty();
}

bool TLumbrinAutostart::SwitchedOffByDesktop() const
{
    if (appName_.isEmpty())
        return false;
    TRegistry registry(Root());
    return registry.OpenKey(KeyOf(false), false) && registry.ValueSwitchedOff(appName_);
}

bool TLumbrinAutostart::WriteEntry(Kind kind, TRootKey root, bool on)
{
    if (firstWrite_.Pending) {
        on = EntryPresent(Kind::Run, Root());
        firstWrite_.Pending = false;
    }
    if (appName_.isEmpty())
        return false;
    TRegistry registry(root);
    if (!registry.OpenKey(KeyOf(kind == Kind::RunOnce), true))
        return false;
    if (!on) {
        registry.DeleteValue(appName_);
        return false;
    }
    registry.WriteString(appName_, QLatin1Char('"') + executable_ + QLatin1Char('"'));
    return true;
}

void TLumbrinAutostart::SetGlobal(bool on)
{
    // Write access to the machine's root, probed with a key of our own. Only switching
    // on needs it: every start switches off, and must not rewrite the machine's file.
    if (on) {
        const QString probe = QStringLiteral("\\Software\\Panelwick\\test\\");
        TRegistry machine(TRootKey::LocalMachine);
        if (machine.OpenKey(probe, true)) {
            machine.CloseKey();
            machine.DeleteKey(probe);
        } else {
            on = false;
        }
    }
    if (on == global_)
        return;
    const TRootKey from = global_ ? TRootKey::LocalMachine : TRootKey::CurrentUser;
    const TRootKey to = on ? TRootKey::LocalMachine : TRootKey::CurrentUser;
    for (const Kind kind : {Kind::Run, Kind::RunOnce}) {
        if (EntryPresent(kind, from)) {
            WriteEntry(kind, to, true);
            WriteEntry(kind, from, false);
        }
    }
    global_ = on;
}

void TLumbrinAutostart::SetAppName(const QString& name)
{
    if (name.compare(appName_, Qt::CaseInsensitive) == 0)
        return;
    const std::array<std::pair<Kind, TRootKey>, 4> entries{{{Kind::Run, TRootKey::CurrentUser},
                                                            {Kind::Run, TRootKey::LocalMachine},
                                                            {Kind::RunOnce, TRootKey::CurrentUser},
                                                            {Kind::RunOnce, TRootKey::LocalMachine}}};
    std::array<bool, 4> present{};
    for (std::size_t i = 0; i < entries.size(); ++i)
        present[i] = EntryPresent(entries[i].first, entries[i].second);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (present[i])
            WriteEntry(entries[i].first, entries[i].second, false);
    }
    appName_ = name;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (present[i])
            WriteEntry(entries[i].first, entries[i].second, true);
    }
    // The states are read from the registry whenever asked: nothing to read again here.
}

} // namespace pw::desktop
