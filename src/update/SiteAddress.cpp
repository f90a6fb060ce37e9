#include "update/SiteAddress.h"

#include "comics/ComicSite.h"

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

} // namespace pw::update
