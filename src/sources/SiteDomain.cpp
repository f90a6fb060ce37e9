#include "sources/SiteDomain.h"

#include <QStringList>
#include <QUrl>

namespace pw::sources {

QString RegistrableDomain(const QString& host)
{
    QString h = host.trimmed().toLower();
    while (h.endsWith(QLatin1Char('.')))
        h.chop(1);
    if (h.isEmpty() || h.contains(QLatin1Char(':')))
        return h; // IPv6
    const QStringList labels = h.split(QLatin1Char('.'), Qt::SkipEmptyParts);
    bool numeric = true;
    for (const QString& label : labels)
        for (QChar c : label)
            numeric = numeric && c.isDigit();
    if (numeric)
        return h; // IPv4
    if (labels.size() <= 2)
        return labels.join(QLatin1Char('.'));
    static const QStringList secondLevel = {
        QStringLiteral("co"),  QStringLiteral("com"), QStringLiteral("net"),
        QStringLiteral("org"), QStringLiteral("ac"),  QStringLiteral("gov"),
        QStringLiteral("edu"), QStringLiteral("ne"),  QStringLiteral("or")};
    const qsizetype n = labels.size();
    const bool countrySuffix = labels[n - 1].size() == 2 && secondLevel.contains(labels[n - 2]);
    return labels.mid(n - (countrySuffix ? 3 : 2)).join(QLatin1Char('.'));
}

bool SameSite(const QString& address, const QString& otherAddress)
{
    const QString a = RegistrableDomain(QUrl(address).host());
    return !a.isEmpty() && a == RegistrableDomain(QUrl(otherAddress).host());
}

} // namespace pw::sources
