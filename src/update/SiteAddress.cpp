#include "update/SiteAddress.h"

#include "comics/ComicSite.h"
#include "net/HttpUrl.h"

namespace pw::update {

namespace {

QString WithoutTrailingSlash(QString s)
{
    while (s.endsWith(QLatin1Char('/')))
        s.chop(1);
    return s;
}

} // namespace

QString SiteBase()
{
    const QString env = qEnvironmentVariable("PANELWICK_SITE_BASE");
    return WithoutTrailingSlash(env.isEmpty() ? QString::fromLatin1(comics::kComicSiteBase) : env);
}

QString PageAddress(const QString& pageUrl)
{
    const QString builtIn = WithoutTrailingSlash(QString::fromLatin1(comics::kComicSiteBase));
    if (!pageUrl.startsWith(builtIn))
        return pageUrl;
    return SiteBase() + pageUrl.mid(builtIn.size());
}

QString PageSiteBase(const QString& pageUrl, const QString& fetchedFrom)
{
    const QString builtIn = WithoutTrailingSlash(QString::fromLatin1(comics::kComicSiteBase));
    if (pageUrl == builtIn || pageUrl.startsWith(builtIn + QLatin1Char('/')))
        return SiteBase();
    const net::HttpUrlParts page = net::SplitUrl(fetchedFrom.isEmpty() ? pageUrl : fetchedFrom);
    QString base = (page.Scheme.isEmpty() ? QStringLiteral("http") : page.Scheme.toLower()) +
                   QLatin1String("://") + page.Host;
    if (!page.Port.isEmpty())
        base += QLatin1Char(':') + page.Port;
    return base;
}

} // namespace pw::update
