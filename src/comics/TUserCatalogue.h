#pragma once

#include <QString>

namespace pw::comics {

// The user's own catalogue, MyComics.urls: the shipped catalogue's format (name, TAB,
// address, one comic a line). Every change rewrites the whole file through a temporary
// file and a rename, so it is never half-written.
class TUserCatalogue {
public:
    // Appends "name TAB address". False, with *error, when it cannot be written.
    static bool Append(const QString& path, const QString& name, const QString& address, QString* error);
    // Drops every line whose name is exactly this one. False, with *error, when the file
    // cannot be read or written.
    static bool Remove(const QString& path, const QString& name, QString* error);
};

} // namespace pw::comics
