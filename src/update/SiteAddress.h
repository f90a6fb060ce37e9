#pragma once

#include <QString>

namespace pw::update {

// The comic site's base address (scheme and host, no trailing "/"):
// PANELWICK_SITE_BASE when set, else the built-in one.
QString SiteBase();

// A catalogue address with the built-in base swapped for SiteBase(); others unchanged.
QString PageAddress(const QString& pageUrl);

} // namespace pw::update
