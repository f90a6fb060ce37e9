#include "sources/FeedReader.h"

#include "RequireWebAddress.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray document(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const pw::sources::Feed feed =
        pw::sources::ReadFeed(document, QStringLiteral("https://comics.test/feed/"));
    if (feed.Items.size() > pw::sources::Feed::kMaxItems)
        __builtin_trap();
    RequireWebAddress(feed.Paging.Next);
    RequireWebAddress(feed.Paging.PrevArchive);
    for (const pw::sources::FeedItem& item : feed.Items) {
        RequireWebAddress(item.Picture);
        RequireWebAddress(item.Link);
        for (const QString& picture : item.Pictures + item.LastResortPictures)
            RequireWebAddress(picture);
        if (item.Picture != item.Pictures.value(0))
            __builtin_trap();
    }
    return 0;
}
