#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <utility>
#include <vector>

namespace pw::platform {

// The contents of one registry root: keys with string values. Key paths and value names
// compare without regard to case, as the registry does; each keeps the spelling it was
// made with.
struct RegistryData {
    struct Key {
        QString Path; // "Control Panel\desktop": no leading or trailing backslash
        std::vector<std::pair<QString, QString>> Values;
    };
    std::vector<Key> Keys;

    // Strips the backslashes around a path and folds doubled ones.
    static QString NormalKey(const QString& path);

    Key* Find(const QString& path);
    const Key* Find(const QString& path) const;
    // The key and the keys above it, made where missing; returns the key.
    Key& Make(const QString& path);
    // Removes the key and every key below it; false when it did not exist.
    bool Remove(const QString& path);

    static const QString* Value(const Key& key, const QString& name);
    static void SetValue(Key& key, const QString& name, const QString& value);
    static bool RemoveValue(Key& key, const QString& name);
};

// The registry file: a first line naming the format, then a "[key]" line per key and a
// "name"="value" line per value, both quoted with backslash escapes:
//
//     Panelwick Registry 1
//     [Control Panel\desktop]
//     "Wallpaper"="/home/me/.local/share/panelwick/Panelwick Wallpaper.bmp"
//
// Pure functions over bytes.
struct RegistryFile {
    // nullopt when the bytes are not such a file (someone else's file at our path).
    static std::optional<RegistryData> Parse(const QByteArray& bytes);
    static QByteArray Format(const RegistryData& data);
};

} // namespace pw::platform
