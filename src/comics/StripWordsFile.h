#pragma once

#include "comics/StripWords.h"
#include "platform/FileStamp.h"

#include <QString>
#include <optional>

namespace pw::comics {

// The words of a comic's strips, in ".words" in the comic's folder. Reading keeps the
// last file's contents while it is unchanged; storing rewrites it through a temporary
// file, newest strips kept when it grows past its bound.
class StripWordsFile {
public:
    static constexpr std::size_t kMaxStrips = 2000;

    static QString PathIn(const QString& comicFolder);

    // The strip's words; empty when the file has none for it or cannot be read.
    StripWords Find(const QString& comicFolder, const QString& fileName);
    // False when the file could not be written (the strip then simply has no words).
    static bool Store(const QString& comicFolder, const QString& fileName, const StripWords& words);
    // Several strips' words in one rewrite, in the order given.
    static bool StoreAll(const QString& comicFolder, const StripWordsList& entries);

private:
    QString path_;
    std::optional<platform::FileStamp> stamp_; // settled when set
    StripWordsList list_;
};

} // namespace pw::comics
