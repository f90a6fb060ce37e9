#pragma once

#include <QString>

namespace pw::comics {

// Whether two catalogue addresses name the same comic: equal once the scheme (http or
// https), the host's letter case, a default port, a trailing "/" and a fragment are set
// aside. The user who follows a site by http and adds it by https follows it already.
bool SameComicAddress(const QString& a, const QString& b);

// What SameComicAddress compares: equal keys are the same comic. Empty for an address that
// is no http(s) address with a host (such an address is the same as none).
QString ComicAddressKey(const QString& address);

} // namespace pw::comics
