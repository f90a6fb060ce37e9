#pragma once

#include "platform/Exception.h"
#include "platform/RegistryFile.h"

#include <QString>
#include <optional>

namespace pw::platform {

enum class TRootKey { CurrentUser, LocalMachine }; // HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE

// Where the two roots live: the user's XDG configuration folder and the machine's
// /etc/xdg. Each holds "panelwick/registry.reg" and the "autostart" folder.
struct RegistryRoots {
    // Empty: $XDG_CONFIG_HOME, or ~/.config.
    static inline QString UserFolder;
    static inline QString MachineFolder = QStringLiteral("/etc/xdg");
    static QString Folder(TRootKey root);
};

class ERegistryException : public Exception {
public:
    using Exception::Exception;
};

// A handle on one key of one root, like the platform's registry object: open a key with
// or without making it, read, write and delete string values, delete keys. Every call
// reads the store again; writes go to disk at once through a temporary file.
//
// The "Run" and "RunOnce" keys under "SOFTWARE\Microsoft\Windows\CurrentVersion" are the
// root's autostart folder: each value is one desktop entry there (AutostartEntry).
//
// Opening a key asks for write access as well, so a root the user cannot write to (the
// machine's, for an ordinary user) does not open.
class TRegistry {
public:
    explicit TRegistry(TRootKey root = TRootKey::CurrentUser) : root_(root) {}

    TRootKey RootKey() const { return root_; }
    bool OpenKey(const QString& key, bool canCreate);
    void CloseKey() { open_.reset(); }
    bool KeyExists(const QString& key) const;
    // Deletes the key and the keys below it; the keys above stay.
    bool DeleteKey(const QString& key);

    // On the open key. A missing value reads as "".
    QString ReadString(const QString& name) const;
    bool ValueExists(const QString& name) const;
    // Throws ERegistryException when the value cannot be written.
    void WriteString(const QString& name, const QString& value);
    bool DeleteValue(const QString& name);

    // On the open "Run" or "RunOnce" key: the value's entry is there, but the desktop's
    // session settings switched it off. Such a value reads as absent and is not deleted;
    // writing it switches it on again and keeps what the desktop added to the entry.
    bool ValueSwitchedOff(const QString& name) const;

    static const QString kRunKey;
    static const QString kRunOnceKey;

private:
    enum class Store { File, Run, RunOnce };
    static Store StoreOf(const QString& key);
    QString RootFolder() const { return RegistryRoots::Folder(root_); }
    QString FilePath() const;
    QString AutostartFolder() const;
    QString EntryPath(const QString& name) const;
    // The bytes of our entry for the value on the open autostart key; nullopt when there
    // is none, or the file of that name is someone else's.
    std::optional<QByteArray> OwnEntry(const QString& name) const;
    // The registry file's contents: empty when there is none yet, nullopt when the file
    // cannot be read or is not ours.
    std::optional<RegistryData> Load() const;
    bool Save(const RegistryData& data) const;
    bool FileWritable() const;

    TRootKey root_;
    std::optional<QString> open_; // the open key's path
};

} // namespace pw::platform
