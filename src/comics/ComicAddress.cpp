#include "comics/ComicAddress.h"

#include <QUrl>

namespace pw::comics {

QString ComicAddressKey(const QString& address)
{
    QUrl url(address.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return {};
    int port = url.port();
    if ((scheme == QLatin1String("http") && port == 80) || (scheme == QLatin1String("https") && port == 443))
        port = -1;
    url.setScheme(QStringLiteral("http"));
    url.setPort(port);
    url = url.adjusted(QUrl::RemoveFragment | QUrl::NormalizePathSegments | QUrl::StripTrailingSlash |
                       QUrl::RemoveUserInfo);
    return url.toString(QUrl::FullyEncoded);
}

bool SameComicAddress(const QString& a, const QString& b)
{
    const QString key = ComicAddressKey(a);
    return !key.isEmpty() && key == ComicAddressKey(b);
}

} // namespace pw::comics
