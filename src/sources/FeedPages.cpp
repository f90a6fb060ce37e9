#include "sources/FeedPages.h"

#include <QUrl>
#include <QUrlQuery>

namespace pw::sources {

namespace {
const QString kPaged = QStringLiteral("paged");
}

QString PagedFeedAddress(const QString& feedAddress, int page)
{
    QUrl url(feedAddress);
    if (!url.isValid() || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")) ||
        url.host().isEmpty() || page < 2)
        return {};
    QUrlQuery query(url);
    query.removeAllQueryItems(kPaged);
    query.addQueryItem(kPaged, QString::number(page));
    url.setQuery(query);
    url.setFragment(QString());
    return QString::fromLatin1(url.toEncoded());
}

int PagedFeedNumber(const QString& address)
{
    const QUrlQuery query{QUrl(address)};
    if (!query.hasQueryItem(kPaged))
        return 1;
    bool ok = false;
    const int n = query.queryItemValue(kPaged).toInt(&ok);
    return ok && n >= 1 ? n : 0;
}

} // namespace pw::sources
