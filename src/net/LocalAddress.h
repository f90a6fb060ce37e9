#pragma once

#include <QString>

namespace pw::net {

// True when host names this machine or the user's own network: "localhost" (and names
// under it), or an IPv4 address (in any form the resolver reads, "2130706433" too) that
// is unspecified, loopback, link-local or private. Other names are not resolved here.
bool IsLocalHost(const QString& host);

} // namespace pw::net
