#include "net/HttpLocation.h"

namespace pw::net {

HttpTarget TargetFromUrl(const HttpUrlParts& url)
{
    HttpTarget target;
    if (!url.Scheme.isEmpty())
        target.Scheme = url.Scheme;
    target.Host = url.Host;
    target.Port = url.Port;
    target.Path = url.Path.isEmpty() ? QStringLiteral("/") : url.Path;
    return target;
}

bool SameServer(const HttpTarget& a, const HttpTarget& b)
{
    const auto port = [](const HttpTarget& t) {
        if (!t.Port.isEmpty())
            return t.Port;
        return t.Scheme.compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 ? QStringLiteral("443")
                                                                                  : QStringLiteral("80");
    };
    return a.Scheme.compare(b.Scheme, Qt::CaseInsensitive) == 0 &&
           a.Host.compare(b.Host, Qt::CaseInsensitive) == 0 && port(a) == port(b);
}

QString AbsoluteAddress(const HttpTarget& target)
{
    QString address = target.Scheme + QLatin1String("://") + target.Host;
    if (!target.Port.isEmpty())
        address += QLatin1Char(':') + target.Port;
    return address + target.Path;
}

bool IsSafeLocation(const QString& location)
{
    const QString value = location.trimmed();
    for (QChar c : value)
        if (c.unicode() <= 0x20 || c.unicode() == 0x7F)
            return false;
    return true;
}

HttpTarget ResolveLocation(const HttpTarget& current, const QString& location)
{
    const QString value = location.trimmed();
    if (value.isEmpty())
        return current;
    if (value.contains(QLatin1String("://")) || value.startsWith(QLatin1String("//")))
        return TargetFromUrl(SplitUrl(value));

    HttpTarget next = current;
    // "http:page.htm" is a reference on the current server with a scheme prefix.
    QString relative = value;
    if (relative.startsWith(QLatin1String("http:"), Qt::CaseInsensitive))
        relative = relative.mid(5);
    if (relative.startsWith(QLatin1Char('/'))) {
        next.Path = relative;
        return next;
    }
    QString base = current.Path;
    const qsizetype query = base.indexOf(QLatin1Char('?'));
    if (query >= 0)
        base.truncate(query);
    if (relative.startsWith(QLatin1Char('?'))) {
        next.Path = base + relative;
        return next;
    }
    base.truncate(base.lastIndexOf(QLatin1Char('/')) + 1);
    if (base.isEmpty())
        base = QStringLiteral("/");
    next.Path = base + relative;
    return next;
}

} // namespace pw::net
