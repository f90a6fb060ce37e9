#include "sources/AddressJoin.h"

#include <QUrl>

namespace pw::sources {

bool IsWebScheme(const QString& scheme)
{
    return scheme.compare(QLatin1String("http"), Qt::CaseInsensitive) == 0 ||
           scheme.compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
}

bool IsComicAddress(const QString& address)
{
    for (QChar c : address)
        if (c.unicode() <= 0x20 || c.unicode() == 0x7F || c.isSpace() || c.category() == QChar::Other_Format)
            return false;
    const QUrl url(address, QUrl::StrictMode);
    return url.isValid() && IsWebScheme(url.scheme()) && !url.host().isEmpty();
}

QStringList ComicAddressCandidates(const QString& typed)
{
    const QString address = typed.trimmed();
    if (address.isEmpty() || address.contains(QLatin1String("://")))
        return {address};
    return {QStringLiteral("https://") + address, QStringLiteral("http://") + address};
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
