#pragma once

#include <QString>
#include <QUrl>

// Every address a source parser gives is an absolute http(s) address with a host and no
// blank: anything else stops the fuzzer.
inline void RequireWebAddress(const QString& address)
{
    if (address.isEmpty())
        return;
    const QUrl url(address, QUrl::StrictMode);
    const QString scheme = url.scheme();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
        url.host().isEmpty() || address.contains(QLatin1Char(' ')))
        __builtin_trap();
}
