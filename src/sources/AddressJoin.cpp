#include "sources/AddressJoin.h"

#include <QUrl>

namespace pw::sources {

bool IsWebScheme(const QString& scheme)
{
    return scheme.compare(QLatin1String("http"), Qt::CaseInsensitive) == 0 ||
           scheme.compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
}

QString ResolveAddress(const QString& base, const QString& reference)
{
    const QString ref = reference.trimmed();
    if (ref.isEmpty())
        return {};
    const QUrl resolved = QUrl(base.trimmed()).resolved(QUrl(ref));
    if (!resolved.isValid() || !IsWebScheme(resolved.scheme()) || resolved.host().isEmpty())
        return {};
    QUrl clean = resolved.adjusted(QUrl::RemoveFragment);
    return QString::fromLatin1(clean.toEncoded());
}

} // namespace pw::sources
