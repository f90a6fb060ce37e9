#pragma once

#include <QString>

namespace pw::sources {

// The part of a host name that one owner registers: "comics.test" for
// "cdn.comics.test", "example.co.uk" for "www.example.co.uk". Without the public suffix
// list, a two-letter country domain whose second label is a common second-level name
// (co, com, net, org, ac, gov, edu, ne, or) counts as a suffix. An IP address is its
// own domain. Empty for an empty host.
QString RegistrableDomain(const QString& host);

// Whether two http(s) addresses lie on the same registrable domain.
bool SameSite(const QString& address, const QString& otherAddress);

} // namespace pw::sources
