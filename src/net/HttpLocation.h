#pragma once

#include "net/HttpUrl.h"

#include <QString>

namespace pw::net {

// Where a request goes, independent of any proxy.
struct HttpTarget {
    QString Scheme = QStringLiteral("http");
    QString Host;
    QString Port; // empty: the scheme's default (80)
    QString Path = QStringLiteral("/");

    bool operator==(const HttpTarget&) const = default;
};

HttpTarget TargetFromUrl(const HttpUrlParts& url);

// Same scheme, host and port (an absent port being the default one); letter case aside.
bool SameServer(const HttpTarget& a, const HttpTarget& b);

// scheme "://" host [":" port] path: the request line of a proxy request.
QString AbsoluteAddress(const HttpTarget& target);

// The target a Location value points to, seen from the current one. Absolute values
// ("http://host[:port]/path", "//host/path") replace everything, an absent port meaning
// the default one; "/path" keeps scheme, host and port; any other value is relative to
// the current path's folder. An empty value yields the current target.
HttpTarget ResolveLocation(const HttpTarget& current, const QString& location);

// False when a Location value, blanks around it aside, holds a space or a control
// character: those would end up inside the request line or the Host line.
bool IsSafeLocation(const QString& location);

} // namespace pw::net
