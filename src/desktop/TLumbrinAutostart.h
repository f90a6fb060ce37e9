#pragma once

#include "platform/TRegistry.h"

#include <QString>

namespace pw::desktop {

// Starts the program when the user logs on: a "Run" entry (every logon) or a "RunOnce"
// entry (the next logon only) named appName, per user or for all users (Global). Reads
// the registry whenever a state is asked for; keys that do not open read as absent and
// make a switch-on fail silently. An entry the desktop's session settings switched off
// reads as absent and is left as the desktop wrote it, until autostart is set on.
class TLumbrinAutostart {
public:
    // The process's first entry write keeps the "Run" state the registry already has.
    struct TFirstWrite {
        bool Pending = true;
    };
    static TFirstWrite& ProcessFirstWrite();

    // executable: what the entries start. appName starts as the application's name
    // followed by "#Autostart".
    explicit TLumbrinAutostart(QString executable, TFirstWrite& firstWrite = ProcessFirstWrite());

    const QString& appName() const { return appName_; }
    void SetAppName(const QString& name);
    bool autostart() const { return EntryPresent(Kind::Run, Root()); }
    void SetAutostart(bool on) { WriteEntry(Kind::Run, Root(), on); }
    // The "Run" entry is there, but the desktop switched it off.
    bool SwitchedOffByDesktop() const;
    bool StartNextLogon() const { return EntryPresent(Kind::RunOnce, Root()); }
    void SetStartNextLogon(bool on) { WriteEntry(Kind::RunOnce, Root(), on); }
    bool Global() const { return global_; }
    void SetGlobal(bool on);

private:
    enum class Kind { Run, RunOnce };
    platform::TRootKey Root() const;
    bool EntryPresent(Kind kind, platform::TRootKey root) const;
    bool WriteEntry(Kind kind, platform::TRootKey root, bool on);

    QString executable_;
    TFirstWrite& firstWrite_;
    QString appName_;
    bool global_ = false;
};

} // namespace pw::desktop
