#pragma once

#include "platform/IniFile.h"

#include <algorithm>

namespace pw::update {

inline constexpr int kMinSimDownloads = 1;
inline constexpr int kMaxSimDownloads = 99;

// Downloads/MaxSimDownloads as every reader must use it: a hand-edited value outside
// 1..99 must neither leave every job waiting nor size the slot grid.
inline int MaxSimDownloads(const platform::TIniFile& ini)
{
    return std::clamp(ini.ReadInteger(QStringLiteral("Downloads"), QStringLiteral("MaxSimDownloads"), 3),
                      kMinSimDownloads, kMaxSimDownloads);
}

} // namespace pw::update
