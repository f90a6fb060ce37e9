#include "sources/HtmlHead.h"

#include <QUrl>
#include <cstddef>
#include <cstdint>

namespace {

void RequireWebAddress(const QString& address)
{
    if (address.isEmpty())
        return;
    const QUrl url(address, QUrl::StrictMode);
    const QString scheme = url.scheme();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
        url.host().isEmpty() || address.contains(QLatin1Char(' ')))
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray page(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const pw::sources::HtmlHead head =
        pw::sources::ScanHtmlHead(page, QStringLiteral("http://comics.test/a/b.html"));
    RequireWebAddress(head.Picture);
    for (const QString& feed : head.FeedAddresses)
        RequireWebAddress(feed);
    RequireWebAddress(
        pw::sources::FirstImageSource(QString::fromUtf8(page), QStringLiteral("https://comics.test/")));
    return 0;
}
