#include "platform/TRegistry.h"

#include "platform/AutostartEntry.h"
#include "platform/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace pw::platform {

const QString TRegistry::kRunKey = QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run");
const QString TRegistry::kRunOnceKey =
    QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce");

namespace {

// Whether the path can be written, or made: the nearest folder that exists decides.
bool Writable(const QString& path)
{
    QFileInfo info(path);
    while (!info.exists()) {
        const QString parent = info.absolutePath();
        if (parent == info.absoluteFilePath())
            return false;
        info = QFileInfo(parent);
    }
    return info.isWritable();
}

QByteArray ReadFile(const QString& path, bool* ok)
{
    QFile f(path);
    *ok = f.open(QIODevice::ReadOnly);
    return *ok ? f.readAll() : QByteArray();
}

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    return QDir().mkpath(QFileInfo(path).absolutePath()) && SafeFile::Write(path, bytes);
}

} // namespace

QString RegistryRoots::Folder(TRootKey root)
{
    if (root == TRootKey::LocalMachine)
        return MachineFolder;
    if (!UserFolder.isEmpty())
        return UserFolder;
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (QDir::isAbsolutePath(xdg))
        return xdg;
    return QDir::homePath() + QStringLiteral("/.config");
}

TRegistry::Store TRegistry::StoreOf(const QString& key)
{
    const QString path = RegistryData::NormalKey(key);
    if (path.compare(kRunKey, Qt::CaseInsensitive) == 0)
        return Store::Run;
    if (path.compare(kRunOnceKey, Qt::CaseInsensitive) == 0)
        return Store::RunOnce;
    return Store::File;
}

QString TRegistry::FilePath() const
{
    return RootFolder() + QStringLiteral("/panelwick/registry.reg");
}

QString TRegistry::AutostartFolder() const
{
    return RootFolder() + QStringLiteral("/autostart");
}

QString TRegistry::EntryPath(const QString& name) const
{
    return AutostartFolder() + QLatin1Char('/') +
           AutostartEntry::FileName(name, StoreOf(*open_) == Store::RunOnce);
}

std::optional<QByteArray> TRegistry::OwnEntry(const QString& name) const
{
    bool ok = false;
    const QByteArray entry = ReadFile(EntryPath(name), &ok);
    if (!ok || !AutostartEntry::Data(entry, name, StoreOf(*open_) == Store::RunOnce))
        return std::nullopt;
    return entry;
}

std::optional<RegistryData> TRegistry::Load() const
{
    if (!QFileInfo::exists(FilePath()))
        return RegistryData{};
    bool ok = false;
    const QByteArray bytes = ReadFile(FilePath(), &ok);
    if (!ok)
        return std::nullopt;
    return RegistryFile::Parse(bytes);
}

bool TRegistry::Save(const RegistryData& data) const
{
    return WriteFile(FilePath(), RegistryFile::Format(data));
}

bool TRegistry::FileWritable() const
{
    return Writable(QFileInfo(FilePath()).absolutePath()) && Writable(FilePath());
}

bool TRegistry::OpenKey(const QString& key, bool canCreate)
{
    CloseKey();
    if (StoreOf(key) != Store::File) {
        const QString folder = AutostartFolder();
        if (!QFileInfo(folder).isDir() && !(canCreate && Writable(folder) && QDir().mkpath(folder)))
            return false;
        if (!Writable(folder))
            return false;
        open_ = RegistryData::NormalKey(key);
        return true;
    }
    std::optional<RegistryData> data = Load();
    if (!data)
        return false;
    if (data->Find(key)) {
        if (!FileWritable())
            return false;
    } else if (!canCreate || !FileWritable()) {
        return false;
    } else {
        data->Make(key);
        if (!Save(*data))
            return false;
    }
    open_ = RegistryData::NormalKey(key);
    return true;
}

bool TRegistry::KeyExists(const QString& key) const
{
    if (StoreOf(key) != Store::File)
        return QFileInfo(AutostartFolder()).isDir();
    const std::optional<RegistryData> data = Load();
    return data && data->Find(key);
}

bool TRegistry::DeleteKey(const QString& key)
{
    if (StoreOf(key) != Store::File)
        return false; // the autostart folder is the desktop's, not ours to remove
    std::optional<RegistryData> data = Load();
    if (!data || !data->Remove(key))
        return false;
    if (open_ && !data->Find(*open_))
        CloseKey();
    return Save(*data);
}

QString TRegistry::ReadString(const QString& name) const
{
    if (!open_)
        return {};
    const Store store = StoreOf(*open_);
    if (store != Store::File) {
        const std::optional<QByteArray> entry = OwnEntry(name);
        if (!entry || AutostartEntry::SwitchedOff(*entry))
            return {};
        return AutostartEntry::Data(*entry, name, store == Store::RunOnce).value_or(QString());
    }
    const std::optional<RegistryData> data = Load();
    const RegistryData::Key* key = data ? data->Find(*open_) : nullptr;
    const QString* value = key ? RegistryData::Value(*key, name) : nullptr;
    return value ? *value : QString();
}

bool TRegistry::ValueExists(const QString& name) const
{
    if (!open_)
        return false;
    if (StoreOf(*open_) != Store::File) {
        const std::optional<QByteArray> entry = OwnEntry(name);
        return entry && !AutostartEntry::SwitchedOff(*entry);
    }
    const std::optional<RegistryData> data = Load();
    const RegistryData::Key* key = data ? data->Find(*open_) : nullptr;
    return key && RegistryData::Value(*key, name);
}

bool TRegistry::ValueSwitchedOff(const QString& name) const
{
    if (!open_ || StoreOf(*open_) == Store::File)
        return false;
    const std::optional<QByteArray> entry = OwnEntry(name);
    return entry && AutostartEntry::SwitchedOff(*entry);
}

void TRegistry::WriteString(const QString& name, const QString& value)
{
    if (!open_)
        throw ERegistryException(QStringLiteral("No registry key is open to write \"%1\" to.").arg(name));
    const Store store = StoreOf(*open_);
    if (store != Store::File) {
        const QString path = EntryPath(name);
        const std::optional<QByteArray> old = OwnEntry(name);
        // Someone else's entry of that name stays as it is.
        if (!old && QFileInfo::exists(path))
            throw ERegistryException(QStringLiteral("%1 is not Panelwick's autostart entry.").arg(path));
        // Ours is updated in place: what the desktop added to it stays.
        const QByteArray entry = old ? AutostartEntry::Updated(*old, value)
                                     : AutostartEntry::Format(name, value, store == Store::RunOnce);
        if (entry != old && !WriteFile(path, entry))
            throw ERegistryException(QStringLiteral("Couldn't write the autostart entry %1.").arg(path));
        return;
    }
    std::optional<RegistryData> data = Load();
    if (!data)
        throw ERegistryException(QStringLiteral("%1 is not a registry file of Panelwick.").arg(FilePath()));
    RegistryData::SetValue(data->Make(*open_), name, value);
    if (!Save(*data))
        throw ERegistryException(QStringLiteral("Couldn't write %1.").arg(FilePath()));
}

bool TRegistry::DeleteValue(const QString& name)
{
    if (!open_)
        return false;
    if (StoreOf(*open_) != Store::File)
        return ValueExists(name) && QFile::remove(EntryPath(name));
    std::optional<RegistryData> data = Load();
    RegistryData::Key* key = data ? data->Find(*open_) : nullptr;
    if (!key || !RegistryData::RemoveValue(*key, name))
        return false;
    return Save(*data);
}

} // namespace pw::platform
