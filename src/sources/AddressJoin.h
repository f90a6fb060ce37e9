#pragma once

#include <QString>
#include <QStringList>

namespace pw::sources {

// The absolute http or https address a reference in a feed or page stands for, resolved
// against base (RFC 3986), percent-encoded the way a request line needs it. Empty for
// an empty reference and for anything that is not http(s) with a host (javascript:,
// data:, mailto:, a relative reference against a relative base...).
QString ResolveAddress(const QString& base, const QString& reference);

// True for "http" and "https", in any letter case.
bool IsWebScheme(const QString& scheme);

// An address a user gives for a comic: http(s), with a host, and no blank or control
// character (it becomes one line of a catalogue and a request line as it is).
bool IsComicAddress(const QString& address);

// The addresses to try, in order, for an address a user typed: the address itself when it
// names a scheme, else it with "https://" and then with "http://" before it, so that a
// bare domain works.
QStringList ComicAddressCandidates(const QString& typed);

} // namespace pw::sources
