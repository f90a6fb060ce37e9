#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace pw::imaging {

// A strip is a few hundred pixels wide; anything beyond these bounds is a broken or
// hostile file, and refusing it keeps decoding from reserving gigabytes.
inline constexpr int kMaxImageSide = 16384;
inline constexpr std::int64_t kMaxImagePixels = 64LL * 1024 * 1024;
// Larger files are not read into memory at all.
inline constexpr std::int64_t kMaxImageFileBytes = 256LL * 1024 * 1024;

inline bool ImageSizeAllowed(std::int64_t width, std::int64_t height)
{
    return width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide &&
           width * height <= kMaxImagePixels;
}

// Reads a whole image file into `data`; on failure returns false and puts a short
// reason (the system's text, or "file too large") into `error`.
bool ReadImageFile(const QString& path, QByteArray& data, QString& error);

} // namespace pw::imaging
