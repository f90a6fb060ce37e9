#pragma once

#include <QString>

namespace pw::net {

// The pieces of an address [scheme "://"] [user [":" password] "@"] host [":" port] [path].
// Every piece is empty when absent; Path keeps the query.
struct HttpUrlParts {
    QString Scheme;
    QString User;
    QString Password;
    QString Host;
    QString Port;
    QString Path;

    bool operator==(const HttpUrlParts&) const = default;
};

// Splits a URL, a proxy ("host:port") or a Location value. Never fails: text it cannot
// place ends up in Host or Path.
HttpUrlParts SplitUrl(const QString& url);

} // namespace pw::net
