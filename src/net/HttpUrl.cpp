#include "net/HttpUrl.h"

namespace pw::net {

HttpUrlParts SplitUrl(const QString& url)
{
    HttpUrlParts parts;
    QString rest;
    const qsizetype schemeEnd = url.indexOf(QLatin1String("://"));
    if (schemeEnd >= 0) {
        parts.Scheme = url.left(schemeEnd);
        rest = url.mid(schemeEnd + 3);
    } else if (url.startsWith(QLatin1Char('/'))) {
        parts.Scheme = QStringLiteral("http");
        if (url.size() < 2 || url.at(1) != QLatin1Char('/')) {
            parts.Path = url;
            return parts;
        }
        rest = url.mid(2); // "//host/path"
    } else if (url.startsWith(QLatin1String("http:"), Qt::CaseInsensitive)) {
        parts.Scheme = QStringLiteral("http");
        if (url.size() < 7 || url.at(6) != QLatin1Char('/')) {
            parts.Path = url.mid(5);
            return parts;
        }
        rest = url.mid(5);
    } else if (url.startsWith(QLatin1String("mailto:"), Qt::CaseInsensitive)) {
        parts.Scheme = QStringLiteral("mailto");
        rest = url.mid(url.indexOf(QLatin1Char(':')) + 1);
    } else {
        rest = url;
    }

    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    const QString authority = slash >= 0 ? rest.left(slash) : rest;
    if (slash >= 0)
        parts.Path = rest.mid(slash);

    const qsizetype colon = authority.lastIndexOf(QLatin1Char(':'));
    const qsizetype at = authority.lastIndexOf(QLatin1Char('@'));
    if (colon >= 0 && at < colon) {
        parts.Port = authority.mid(colon + 1);
        parts.Host = authority.mid(at + 1, colon - at - 1);
    } else {
        parts.Host = authority.mid(at + 1);
    }
    if (at >= 0) {
        const QString credentials = authority.left(at);
        const qsizetype sep = credentials.indexOf(QLatin1Char(':'));
        if (sep >= 0) {
            parts.User = credentials.left(sep);
            parts.Password = credentials.mid(sep + 1);
        } else {
            parts.User = credentials;
        }
    }
    return parts;
}

} // namespace pw::net
