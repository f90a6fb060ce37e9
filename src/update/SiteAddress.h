#pragma once

#include <QString>

namespace pw::update {

// The comic site's base address (scheme and host, no trailing "/"):
// PANELWICK_SITE_BASE when set, else the built-in one.
QString SiteBase();

// A catalogue address with the built-in base swapped for SiteBase(); others unchanged.
QString PageAddress(const QString& pageUrl);

// The site a strip address found on a page is joined to and must stay on: SiteBase() for
// the built-in site's pages; any other page is its own site, the scheme, host and port
// it was fetched from (fetchedFrom, redirects applied; the catalogue address when empty).
QString PageSiteBase(const QString& pageUrl, const QString& fetchedFrom);

} // namespace pw::update
