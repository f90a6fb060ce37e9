#include "update/StripAddress.h"

#include "net/HttpUrl.h"

namespace pw::update {

bool StaysOnSite(const QString& address, const QString& siteBase)
{
    const net::HttpUrlParts to = net::SplitUrl(address);
    const net::HttpUrlParts site = net::SplitUrl(siteBase);
    return to.Scheme.compare(site.Scheme, Qt::CaseInsensitive) == 0 && to.Host == site.Host &&
           to.Port == site.Port && to.User.isEmpty() && to.Password.isEmpty();
}

} // namespace pw::update
