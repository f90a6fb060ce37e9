#include "comics/StripWordsFile.h"

#include "platform/SafeFile.h"

#include <QFile>

namespace pw::comics {

namespace {
constexpr qint64 kMaxFileBytes = 64 * 1024 * 1024;

StripWordsList Read(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxFileBytes)
        return {};
    return ParseStripWords(file.readAll());
}
} // namespace

QString StripWordsFile::PathIn(const QString& comicFolder)
{
    return comicFolder + QStringLiteral("/.words");
}

StripWords StripWordsFile::Find(const QString& comicFolder, const QString& fileName)
{
    const QString path = PathIn(comicFolder);
    const auto stamp = platform::FileStamp::Of(QFile::encodeName(path));
    if (!stamp)
        return {};
    if (!(path == path_ && stamp_ && *stamp == *stamp_)) {
        list_ = Read(path);
        path_ = path;
        stamp_ = stamp->Settled() ? stamp : std::nullopt;
    }
    for (auto it = list_.rbegin(); it != list_.rend(); ++it)
        if (it->first == fileName)
            return it->second;
    return {};
}

bool StripWordsFile::Store(const QString& comicFolder, const QString& fileName, const StripWords& words)
{
    const QString path = PathIn(comicFolder);
    StripWordsList list = Read(path);
    std::erase_if(list, [&](const auto& e) { return e.first == fileName; });
    const StripWords cleaned = words.Cleaned();
    if (cleaned.IsEmpty() && list.empty() && !QFile::exists(path))
        return true; // nothing to keep
    if (!cleaned.IsEmpty())
        list.emplace_back(fileName, cleaned);
    if (list.size() > kMaxStrips)
        list.erase(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(list.size() - kMaxStrips));
    return platform::SafeFile::Write(path, FormatStripWords(list));
}

bool StripWordsFile::StoreAll(const QString& comicFolder, const StripWordsList& entries)
{
    const QString path = PathIn(comicFolder);
    StripWordsList list = Read(path);
    bool changed = false;
    for (const auto& [name, words] : entries) {
        const QString& fileName = name; // a lambda cannot capture a structured binding in C++20
        changed |= std::erase_if(list, [&](const auto& e) { return e.first == fileName; }) > 0;
        const StripWords cleaned = words.Cleaned();
        if (!cleaned.IsEmpty()) {
            list.emplace_back(fileName, cleaned);
            changed = true;
        }
    }
    if (!changed)
        return true;
    if (list.size() > kMaxStrips)
        list.erase(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(list.size() - kMaxStrips));
    return platform::SafeFile::Write(path, FormatStripWords(list));
}

} // namespace pw::comics
