#include "sources/HtmlHead.h"

#include "sources/AddressJoin.h"
#include "sources/HtmlTagScanner.h"

#include <optional>

namespace pw::sources {

namespace {

constexpr qsizetype kMaxFeedLinks = 20;
constexpr qsizetype kMaxTitleChars = 1000;
constexpr qsizetype kMaxTextChars = 4000;

bool HasToken(const QString& list, QLatin1StringView token)
{
    const QStringList parts = list.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString& p : parts)
        if (p.compare(token, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

bool IsFeedType(const QString& type)
{
    const QString t = type.trimmed().toLower();
    return t.startsWith(QLatin1String("application/rss+xml")) ||
           t.startsWith(QLatin1String("application/atom+xml"));
}

} // namespace

HtmlHead ScanHtmlHead(const QByteArray& page, const QString& pageAddress)
{
    const QString text = QString::fromUtf8(page);
    HtmlTagScanner scanner(text);
    HtmlHead head;
    QString base = pageAddress;
    QStringList feedRefs;
    QString ogImage, twitterImage, siteName, ogTitle, twitterTitle, ogDescription, description, ogUrl,
        canonical;
    while (const auto tag = scanner.Next()) {
        if (tag->Closing) {
            if (tag->Name == QLatin1String("head"))
                break;
            continue;
        }
        if (tag->Name == QLatin1String("body"))
            break;
        if (tag->Name == QLatin1String("base")) {
            const QString href = ResolveAddress(pageAddress, tag->Attribute(QLatin1StringView("href")));
            if (!href.isEmpty())
                base = href;
        } else if (tag->Name == QLatin1String("title") && head.Title.isEmpty()) {
            head.Title = DecodeCharacterReferences(
                             scanner.TextUntilEndTag(QLatin1StringView("title")).left(kMaxTitleChars))
                             .simplified();
        } else if (tag->Name == QLatin1String("link")) {
            if (HasToken(tag->Attribute(QLatin1StringView("rel")), QLatin1StringView("alternate")) &&
                IsFeedType(tag->Attribute(QLatin1StringView("type"))) && feedRefs.size() < kMaxFeedLinks)
                feedRefs.append(tag->Attribute(QLatin1StringView("href")));
            else if (HasToken(tag->Attribute(QLatin1StringView("rel")), QLatin1StringView("canonical")) &&
                     canonical.isNull())
                canonical = tag->Attribute(QLatin1StringView("href"));
        } else if (tag->Name == QLatin1String("meta")) {
            // Open Graph uses property=, Twitter cards name=; pages mix them up.
            QString key = tag->Attribute(QLatin1StringView("property"));
            if (key.isEmpty())
                key = tag->Attribute(QLatin1StringView("name"));
            key = key.trimmed().toLower();
            const QString content = tag->Attribute(QLatin1StringView("content"));
            if ((key == QLatin1String("og:image") || key == QLatin1String("og:image:url") ||
                 key == QLatin1String("og:image:secure_url")) &&
                ogImage.isNull())
                ogImage = content;
            else if ((key == QLatin1String("twitter:image") || key == QLatin1String("twitter:image:src")) &&
                     twitterImage.isNull())
                twitterImage = content;
            else if (key == QLatin1String("og:site_name") && siteName.isNull())
                siteName = content.left(kMaxTitleChars).simplified();
            else if (key == QLatin1String("og:title") && ogTitle.isNull())
                ogTitle = content.left(kMaxTitleChars).simplified();
            else if (key == QLatin1String("twitter:title") && twitterTitle.isNull())
                twitterTitle = content.left(kMaxTitleChars).simplified();
            else if (key == QLatin1String("og:description") && ogDescription.isNull())
                ogDescription = content.left(kMaxTextChars).simplified();
            else if (key == QLatin1String("description") && description.isNull())
                description = content.left(kMaxTextChars).simplified();
            else if (key == QLatin1String("og:url") && ogUrl.isNull())
                ogUrl = content;
        }
    }
    // <base> applies to the whole document, also to what stood before it.
    for (const QString& ref : feedRefs) {
        const QString address = ResolveAddress(base, ref);
        if (!address.isEmpty() && !head.FeedAddresses.contains(address))
            head.FeedAddresses.append(address);
    }
    head.Picture = ResolveAddress(base, ogImage);
    if (head.Picture.isEmpty())
        head.Picture = ResolveAddress(base, twitterImage);
    if (head.Title.isEmpty())
        head.Title = siteName;
    head.ItemTitle = !ogTitle.isEmpty() ? ogTitle : twitterTitle;
    head.Description = !ogDescription.isEmpty() ? ogDescription : description;
    head.PageAddress = ResolveAddress(base, ogUrl);
    if (head.PageAddress.isEmpty())
        head.PageAddress = ResolveAddress(base, canonical);
    return head;
}

QString FirstImageSource(const QString& html, const QString& base)
{
    HtmlTagScanner scanner(html);
    while (const auto tag = scanner.Next())
        if (!tag->Closing && tag->Name == QLatin1String("img")) {
            const QString address = ResolveAddress(base, tag->Attribute(QLatin1StringView("src")));
            if (!address.isEmpty())
                return address;
        }
    return {};
}

ImageWords FindImageWords(const QString& html, const QString& base, const QString& picture,
                          bool firstWhenNone)
{
    HtmlTagScanner scanner(html);
    std::optional<ImageWords> first;
    while (const auto tag = scanner.Next()) {
        if (tag->Closing || tag->Name != QLatin1String("img"))
            continue;
        ImageWords words{tag->Attribute(QLatin1StringView("title")).left(kMaxTextChars),
                         tag->Attribute(QLatin1StringView("alt")).left(kMaxTextChars)};
        if (!picture.isEmpty() && ResolveAddress(base, tag->Attribute(QLatin1StringView("src"))) == picture)
            return words;
        if (!first && firstWhenNone)
            first = words;
    }
    return first.value_or(ImageWords{});
}

QString PlainTextOf(const QString& html, qsizetype limit)
{
    static const QStringList kParting = {"br",  "p",  "div", "li", "td",    "th", "tr",
                                         "h1",  "h2", "h3",  "h4", "h5",    "h6", "blockquote",
                                         "img", "hr", "ul",  "ol", "figure"};
    QString text;
    qsizetype i = 0;
    const qsizetype n = html.size();
    const qsizetype enough = 4 * limit + 64;
    while (i < n && text.size() < enough) {
        if (html[i] == QLatin1Char('<')) {
            const qsizetype close = html.indexOf(QLatin1Char('>'), i + 1);
            if (close < 0)
                break;
            // Blocks and breaks part words; inline markup (<b>, <a>) does not.
            QStringView tag = QStringView(html).mid(i + 1, close - i - 1).trimmed();
            if (tag.startsWith(QLatin1Char('/')))
                tag = tag.mid(1);
            qsizetype end = 0;
            while (end < tag.size() && tag[end].isLetterOrNumber())
                ++end;
            if (kParting.contains(tag.left(end).toString().toLower()))
                text += QLatin1Char(' ');
            i = close + 1;
            continue;
        }
        const qsizetype next = html.indexOf(QLatin1Char('<'), i);
        const qsizetype end = next < 0 ? n : next;
        text += QStringView(html).mid(i, std::min(end - i, enough));
        i = end;
    }
    return DecodeCharacterReferences(text).simplified().left(limit);
}

} // namespace pw::sources
