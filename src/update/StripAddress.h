#pragma once

#include <QString>

namespace pw::update {

// True when the strip address, split the way the HTTP client splits it, keeps the
// site's scheme, host and port and names no user: page text appended to the site
// address must not turn into another server (or into credentials sent to one).
bool StaysOnSite(const QString& address, const QString& siteBase);

} // namespace pw::update
