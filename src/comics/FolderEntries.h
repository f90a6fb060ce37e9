#pragma once

#include <QString>
#include <functional>
#include <string_view>

namespace pw::comics {

// Calls visit(entry name, the bytes after the prefix) for every entry of `folder` whose name
// begins with `prefix` (exact bytes), of every kind, in the order the file system lists
// them. Nothing when the folder cannot be opened.
void ForEachFolderEntry(const QString& folder, const QString& prefix,
                        const std::function<void(std::string_view name, std::string_view rest)>& visit);

} // namespace pw::comics
