#pragma once

#include <QString>
#include <utility>
#include <vector>

namespace pw::comics {

// The user's own catalogue, MyComics.urls: the shipped catalogue's format (name, TAB,
// address, one comic a line). Every change rewrites the whole file through a temporary
// file and a rename, so it is never half-written.
class TUserCatalogue {
public:
    // Appends "name TAB address". False, with *error, when it cannot be written.
    static bool Append(const QString& path, const QString& name, const QString& address, QString* error);
    // Appends every (name, address) in one write.
    static bool Append(const QString& path, const std::vector<std::pair<QString, QString>>& entries,
                       QString* error);
    // Drops every line whose name is exactly this one. False, with *error, when the file
    // cannot be read or written.
    static bool Remove(const QString& path, const QString& name, QString* error);
    // Every line whose name is exactly oldName becomes "newName TAB address"; the other
    // lines stay as they are. *found tells whether there was one (nothing is written when
    // not). False, with *error, when the file cannot be read or written.
    static bool Replace(const QString& path, const QString& oldName, const QString& newName,
                        const QString& address, bool* found, QString* error);
};

} // namespace pw::comics
