#include "sources/HtmlHead.h"

#include "sources/AddressJoin.h"
#include "sources/HtmlPictures.h"
#include "sources/HtmlTagScanner.h"
#include "sources/TextCharset.h"

#include <QRegularExpression>
#include <QUrl>

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

// "prev" as HTML names it, and "previous", which sites write as often.
bool IsPreviousRel(const QString& rel)
{
    return HasToken(rel, QLatin1StringView("prev")) || HasToken(rel, QLatin1StringView("previous"));
}

bool IsFeedType(const QString& type)
{
    const QString t = type.trimmed().toLower();
    return t.startsWith(QLatin1String("application/rss+xml")) ||
           t.startsWith(QLatin1String("application/atom+xml"));
}

// Titles that frameworks and page builders leave in place of the site's own.
bool IsGenericTitle(const QString& title, const QString& pageAddress)
{
    const QString t = title.toLower();
    static const QStringList generic = {QStringLiteral("react app"),
                                        QStringLiteral("vite app"),
                                        QStringLiteral("vite + react"),
                                        QStringLiteral("vite + vue"),
                                        QStringLiteral("vue app"),
                                        QStringLiteral("angular"),
                                        QStringLiteral("loading"),
                                        QStringLiteral("loading..."),
                                        QStringLiteral("loading…"),
                                        QStringLiteral("untitled"),
                                        QStringLiteral("untitled document"),
                                        QStringLiteral("document"),
                                        QStringLiteral("home"),
                                        QStringLiteral("index"),
                                        QStringLiteral("welcome"),
                                        QStringLiteral("new tab"),
                                        QStringLiteral("app"),
                                        QStringLiteral("next.js"),
                                        QStringLiteral("home page"),
                                        QStringLiteral("homepage")};
    return t.isEmpty() || generic.contains(t) || t == QUrl(pageAddress).host().toLower();
}

bool IsHomeAddress(const QString& address)
{
    const QUrl url(address);
    const QString path = url.path();
    static const QRegularExpression index(QStringLiteral("^/index\\.[a-z]+$"),
                                          QRegularExpression::CaseInsensitiveOption);
    return !url.hasQuery() && (path.isEmpty() || path == QLatin1String("/") || index.match(path).hasMatch());
}

} // namespace

bool IsGenericCardName(const QString& address)
{
    QString name = QUrl(address).path().toLower();
    name = name.mid(name.lastIndexOf(QLatin1Char('/')) + 1);
    name =
        name.left(name.lastIndexOf(QLatin1Char('.')) < 0 ? name.size() : name.lastIndexOf(QLatin1Char('.')));
    static const QStringList words = {
        QStringLiteral("og"),      QStringLiteral("ogimage"),  QStringLiteral("opengraph"),
        QStringLiteral("social"),  QStringLiteral("share"),    QStringLiteral("sharing"),
        QStringLiteral("card"),    QStringLiteral("cards"),    QStringLiteral("logo"),
        QStringLiteral("default"), QStringLiteral("fallback"), QStringLiteral("placeholder"),
        QStringLiteral("banner"),  QStringLiteral("facebook"), QStringLiteral("fb"),
        QStringLiteral("twitter"), QStringLiteral("site"),     QStringLiteral("brand"),
        QStringLiteral("icon"),    QStringLiteral("favicon"),  QStringLiteral("touch")};
    // A number or date in the name makes it one strip's own card.
    static const QRegularExpression number(QStringLiteral("\\d{3}"));
    if (number.match(name).hasMatch())
        return false;
    static const QRegularExpression separators(QStringLiteral("[-_.\\s]+"));
    for (const QString& part : name.split(separators, Qt::SkipEmptyParts))
        if (words.contains(part))
            return true;
    return false;
}

HtmlHead ScanHtmlHead(const QByteArray& page, const QString& pageAddress, const QByteArray& charset)
{
    const QString text = DecodeText(page, charset.isEmpty() ? HtmlDeclaredCharset(page) : charset);
    HtmlTagScanner scanner(text);
    HtmlHead head;
    QString base = pageAddress;
    QStringList feedRefs;
    QString ogImage, twitterImage, imageSrc, siteName, ogTitle, twitterTitle, ogDescription, description,
        ogUrl, canonical, linkPrev, anchorPrev;
    std::optional<FeedDate> articleTime, timeElement;
    int svgDepth = 0; // an <svg> has <title>s of its own
    while (const auto tag = scanner.Next()) {
        if (tag->Name == QLatin1String("svg")) {
            svgDepth = qMax(0, svgDepth + (tag->Closing ? -1 : 1));
            continue;
        }
        if (tag->Closing)
            continue;
        if (tag->Name == QLatin1String("base")) {
            const QString href = ResolveAddress(pageAddress, tag->Attribute(QLatin1StringView("href")));
            if (!href.isEmpty() && base == pageAddress)
                base = href;
        } else if (tag->Name == QLatin1String("title") && svgDepth == 0) {
            const QString title =
                DecodeCharacterReferences(
                    scanner.TextUntilEndTag(QLatin1StringView("title")).left(kMaxTitleChars))
                    .simplified();
            if (IsGenericTitle(head.Title, pageAddress) && !IsGenericTitle(title, pageAddress))
                head.Title = title;
        } else if (tag->Name == QLatin1String("link")) {
            const QString rel = tag->Attribute(QLatin1StringView("rel"));
            if (HasToken(rel, QLatin1StringView("alternate")) &&
                IsFeedType(tag->Attribute(QLatin1StringView("type"))) && feedRefs.size() < kMaxFeedLinks)
                feedRefs.append(tag->Attribute(QLatin1StringView("href")));
            else if (HasToken(rel, QLatin1StringView("canonical")) && canonical.isNull())
                canonical = tag->Attribute(QLatin1StringView("href"));
            else if (HasToken(rel, QLatin1StringView("image_src")) && imageSrc.isNull())
                imageSrc = tag->Attribute(QLatin1StringView("href"));
            else if (IsPreviousRel(rel) && linkPrev.isNull())
                linkPrev = tag->Attribute(QLatin1StringView("href"));
        } else if (tag->Name == QLatin1String("a")) {
            if (anchorPrev.isNull() && IsPreviousRel(tag->Attribute(QLatin1StringView("rel"))))
                anchorPrev = tag->Attribute(QLatin1StringView("href"));
        } else if (tag->Name == QLatin1String("time")) {
            const QString when = tag->Attribute(QLatin1StringView("datetime"));
            if (!timeElement && !when.isEmpty())
                timeElement = ParseFeedDate(when.left(kMaxTitleChars));
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
            else if (key == QLatin1String("article:published_time") && !articleTime)
                articleTime = ParseFeedDate(content.left(kMaxTitleChars));
        }
    }
    // <base> applies to the whole document, also to what stood before it.
    for (const QString& ref : feedRefs) {
        const QString address = ResolveAddress(base, ref);
        if (!address.isEmpty() && !head.FeedAddresses.contains(address))
            head.FeedAddresses.append(address);
    }
    for (const QString& card : {ogImage, twitterImage, imageSrc})
        if (head.CardPicture.isEmpty())
            head.CardPicture = ResolveAddress(base, card);
    head.Canonical = ResolveAddress(base, canonical);
    if (IsGenericTitle(head.Title, pageAddress))
        head.Title = !siteName.isEmpty() ? siteName : !ogTitle.isEmpty() ? ogTitle : head.Title;
    head.HomePage = IsHomeAddress(pageAddress);

    QStringList own = {pageAddress};
    if (!head.Canonical.isEmpty())
        own.append(head.Canonical);
    const std::vector<PictureCandidate> images = ImagesIn(text, base);
    const auto marked = MainComicPicture(images, own, true);
    const auto main = marked ? marked : MainComicPicture(images, own, false);
    head.MarkedPicture = marked ? marked->Address : QString();
    head.MainPicture = main ? main->Address : QString();
    head.Picture = PagePicture(head, QString());
    if (main && head.Picture == main->Address) {
        head.PictureTitle = main->Title;
        head.PictureAlt = main->Alt;
    }
    head.ItemTitle = !ogTitle.isEmpty() ? ogTitle : twitterTitle;
    head.Description = !ogDescription.isEmpty() ? ogDescription : description;
    head.PageAddress = ResolveAddress(base, ogUrl);
    if (head.PageAddress.isEmpty())
        head.PageAddress = ResolveAddress(base, canonical);
    head.PreviousPage = ResolveAddress(base, linkPrev);
    if (head.PreviousPage.isEmpty())
        head.PreviousPage = ResolveAddress(base, anchorPrev);
    head.Published = articleTime ? articleTime : timeElement;
    return head;
}

QString PagePicture(const HtmlHead& head, const QString& homeCard)
{
    if (head.CardPicture.isEmpty())
        return head.MarkedPicture;
    if (IsGenericCardName(head.CardPicture) || (!head.HomePage && head.CardPicture == homeCard))
        return head.MainPicture;
    if (head.HomePage && !head.MarkedPicture.isEmpty())
        return head.MarkedPicture;
    return head.CardPicture;
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
