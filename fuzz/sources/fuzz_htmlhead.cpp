#include "sources/HtmlHead.h"
#include "sources/HtmlPictures.h"

#include "RequireWebAddress.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray page(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const pw::sources::HtmlHead head =
        pw::sources::ScanHtmlHead(page, QStringLiteral("http://comics.test/a/b.html"));
    RequireWebAddress(head.Picture);
    RequireWebAddress(head.CardPicture);
    RequireWebAddress(head.MainPicture);
    RequireWebAddress(head.PreviousPage);
    if (head.Published && !head.Published->Utc.isValid())
        __builtin_trap();
    RequireWebAddress(pw::sources::PagePicture(head, QStringLiteral("https://comics.test/card.png")));
    for (const QString& feed : head.FeedAddresses)
        RequireWebAddress(feed);
    for (const pw::sources::PictureCandidate& c :
         pw::sources::ImagesIn(QString::fromUtf8(page), QStringLiteral("https://comics.test/")))
        RequireWebAddress(c.Address);
    return 0;
}
