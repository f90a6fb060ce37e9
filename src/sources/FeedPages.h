#pragma once

#include <QString>

namespace pw::sources {

// WordPress serves a feed's older entries at the feed's own address with "paged=N" in
// its query (page 1 is the feed itself) and answers 404 past the last page.

// The feed's address for page n (n >= 2), any "paged" of its own replaced; empty when
// the address is no http(s) address.
QString PagedFeedAddress(const QString& feedAddress, int page);
// The n of an address's "paged=n"; 1 when it has none (the feed itself), 0 when the
// value is no page number.
int PagedFeedNumber(const QString& address);

} // namespace pw::sources
