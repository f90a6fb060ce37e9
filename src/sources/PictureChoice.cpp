#include "sources/PictureChoice.h"

#include "sources/SiteDomain.h"

#include <QRegularExpression>
#include <QSet>
#include <QUrl>
#include <algorithm>

namespace pw::sources {

namespace {

constexpr int kThumbnailSide = 100; // a picture declared smaller both ways is no strip
constexpr int kLeastSide = 32;      // nor is one declared this narrow or flat
constexpr int kThumbnailLargest = 150;

// What the ranking reads from an address, read once.
struct Parts {
    explicit Parts(const QString& address)
    {
        const QUrl url(address);
        Host = url.host();
        Path = url.path();
        const QString lower = Path.toLower();
        Name = lower.mid(lower.lastIndexOf(QLatin1Char('/')) + 1);
    }
    QString Host;
    QString Path;
    QString Name; // the file's name, lower case
};

AddressKind KindOfName(const QString& name);

bool IsTrackingPixel(const PictureCandidate& c)
{
    return (c.Width >= 1 && c.Width <= 2) || (c.Height >= 1 && c.Height <= 2);
}

bool DeclaredTooSmall(const PictureCandidate& c)
{
    if ((c.Width > 0 && c.Width < kLeastSide) || (c.Height > 0 && c.Height < kLeastSide))
        return true;
    return c.Width > 0 && c.Height > 0 && c.Width < kThumbnailSide && c.Height < kThumbnailSide;
}

// The standard ad unit sizes (leaderboards, banners, rectangles, skyscrapers).
bool IsAdShaped(const PictureCandidate& c)
{
    static constexpr int sizes[][2] = {{728, 90},  {970, 90},  {970, 250}, {468, 60},  {234, 60},
                                       {320, 50},  {320, 100}, {300, 250}, {336, 280}, {160, 600},
                                       {120, 600}, {300, 600}, {88, 31},   {300, 50}};
    for (const auto& s : sizes)
        if (c.Width == s[0] && c.Height == s[1])
            return true;
    return false;
}

// Feed services wrap items in counters and share buttons of their own ("/~r/" pixels,
// "/~ff/" buttons, "/~a/" ads).
bool IsFeedServiceFurniture(const QString& path)
{
    return path.contains(QLatin1String("/~r/")) || path.contains(QLatin1String("/~ff/")) ||
           path.contains(QLatin1String("/~a/"));
}

bool IsAdServerAddress(const QString& address)
{
    const QUrl url(address);
    static const QStringList adLabels = {
        QStringLiteral("ad"),      QStringLiteral("ads"),         QStringLiteral("adserver"),
        QStringLiteral("adserv"),  QStringLiteral("adclick"),     QStringLiteral("adsrv"),
        QStringLiteral("adtech"),  QStringLiteral("doubleclick"), QStringLiteral("googleadservices"),
        QStringLiteral("pagead2"), QStringLiteral("banners"),     QStringLiteral("adform"),
    };
    for (const QString& label : url.host().toLower().split(QLatin1Char('.')))
        if (adLabels.contains(label))
            return true;
    for (const QString& segment : url.path().toLower().split(QLatin1Char('/'), Qt::SkipEmptyParts))
        if (segment == QLatin1String("ads") || segment == QLatin1String("adclick") ||
            segment == QLatin1String("adserver") || segment == QLatin1String("~a"))
            return true;
    return false;
}

QStringList SiteDomains(const QStringList& siteAddresses)
{
    QStringList domains;
    for (const QString& site : siteAddresses)
        if (const QString d = RegistrableDomain(QUrl(site).host()); !d.isEmpty())
            domains.append(d);
    return domains;
}

bool OnSite(const QString& host, const QStringList& domains)
{
    return domains.contains(RegistrableDomain(host));
}

bool Refused(const PictureCandidate& c, const Parts& parts, const QStringList& domains)
{
    if (c.Address.isEmpty() || IsTrackingPixel(c) || DeclaredTooSmall(c) || c.ImageMap ||
        IsFeedServiceFurniture(parts.Path) || KindOfName(parts.Name) == AddressKind::NotPicture)
        return true;
    if (c.LinkAddress.isEmpty())
        return false;
    // A picture inside a link to another site's ad server is that ad.
    const QUrl link(c.LinkAddress);
    return !OnSite(link.host(), domains) &&
           (IsAdServerAddress(c.LinkAddress) || IsFeedServiceFurniture(link.path()));
}

bool Thumbnail(const PictureCandidate& c, const Parts& parts)
{
    if (c.Origin == PictureOrigin::Thumbnail)
        return true;
    if (c.Width > 0 && c.Height > 0 && c.Width <= kThumbnailLargest && c.Height <= kThumbnailLargest)
        return true;
    if (parts.Name.contains(QLatin1String("thumb")) || parts.Path.contains(QLatin1String("/thumbs/")) ||
        c.Hints.contains(QLatin1String("thumb")))
        return true;
    // WordPress and its kin name the sizes they cut: "strip-150x150.jpg".
    static const QRegularExpression cut(QStringLiteral("-(\\d{2,3})x(\\d{2,3})\\.[a-z]+$"));
    const QRegularExpressionMatch m = cut.match(parts.Name);
    return m.hasMatch() && m.captured(1).toInt() <= kThumbnailLargest &&
           m.captured(2).toInt() <= kThumbnailLargest;
}

} // namespace

// An id or class that names the comic itself ("comic", "comic-image", "strip_main"),
// not what stands around it ("comic-nav", "comic-thumb", "strip-share").
bool NamesComic(const QString& idsAndClasses)
{
    static const QStringList aside = {
        QStringLiteral("nav"),     QStringLiteral("navigation"), QStringLiteral("button"),
        QStringLiteral("btn"),     QStringLiteral("thumb"),      QStringLiteral("thumbnail"),
        QStringLiteral("archive"), QStringLiteral("list"),       QStringLiteral("menu"),
        QStringLiteral("share"),   QStringLiteral("social"),     QStringLiteral("logo"),
        QStringLiteral("title"),   QStringLiteral("header"),     QStringLiteral("footer"),
        QStringLiteral("link"),    QStringLiteral("links"),      QStringLiteral("widget"),
        QStringLiteral("sidebar"), QStringLiteral("banner"),     QStringLiteral("icon"),
        QStringLiteral("avatar"),  QStringLiteral("ad"),         QStringLiteral("ads"),
        QStringLiteral("related"), QStringLiteral("comments"),   QStringLiteral("comment"),
        QStringLiteral("site"),    QStringLiteral("single"),     QStringLiteral("template"),
        QStringLiteral("post"),    QStringLiteral("type")};
    static const QRegularExpression separators(QStringLiteral("[-_.]"));
    for (const QString& token : idsAndClasses.toLower().split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QStringList parts = token.split(separators, Qt::SkipEmptyParts);
        bool comic = false, other = false;
        for (const QString& part : parts) {
            comic = comic || part == QLatin1String("comic") || part == QLatin1String("comics") ||
                    part == QLatin1String("strip") || part == QLatin1String("cartoon");
            other = other || aside.contains(part);
        }
        if (comic && !other)
            return true;
    }
    return false;
}

AddressKind KindOfAddress(const QString& address)
{
    return KindOfName(Parts(address).Name);
}

namespace {

AddressKind KindOfName(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return AddressKind::Unknown;
    const QString ext = name.mid(dot + 1);
    static const QStringList pictures = {QStringLiteral("gif"),  QStringLiteral("jpg"),
                                         QStringLiteral("jpeg"), QStringLiteral("jpe"),
                                         QStringLiteral("png"),  QStringLiteral("jfif")};
    static const QStringList unshowable = {
        QStringLiteral("webp"), QStringLiteral("avif"), QStringLiteral("svg"), QStringLiteral("heic"),
        QStringLiteral("jxl"),  QStringLiteral("bmp"),  QStringLiteral("tif"), QStringLiteral("tiff")};
    static const QStringList others = {
        QStringLiteral("mp4"), QStringLiteral("m4v"),  QStringLiteral("webm"), QStringLiteral("mov"),
        QStringLiteral("mp3"), QStringLiteral("m4a"),  QStringLiteral("ogg"),  QStringLiteral("oga"),
        QStringLiteral("ogv"), QStringLiteral("wav"),  QStringLiteral("flac"), QStringLiteral("pdf"),
        QStringLiteral("zip"), QStringLiteral("html"), QStringLiteral("htm"),  QStringLiteral("php"),
        QStringLiteral("txt"), QStringLiteral("epub"), QStringLiteral("cbz"),  QStringLiteral("swf")};
    if (pictures.contains(ext))
        return AddressKind::Picture;
    if (unshowable.contains(ext))
        return AddressKind::Unshowable;
    if (others.contains(ext))
        return AddressKind::NotPicture;
    return AddressKind::Unknown;
}

} // namespace

bool IsRefusedCandidate(const PictureCandidate& c, const QStringList& siteAddresses)
{
    return Refused(c, Parts(c.Address), SiteDomains(siteAddresses));
}

bool IsThumbnailCandidate(const PictureCandidate& c)
{
    return Thumbnail(c, Parts(c.Address));
}

bool SaysComic(const PictureCandidate& c)
{
    // The file's name and its folder's, not the whole path: on some sites every
    // address lies below "/comic/".
    const QStringList segments = QUrl(c.Address).path().toLower().split(QLatin1Char('/'), Qt::SkipEmptyParts);
    return c.MarkedComic ||
           NamesComic(segments.mid(qMax<qsizetype>(0, segments.size() - 2)).join(QLatin1Char(' ')));
}

RankedPictures RankPictures(const std::vector<PictureCandidate>& candidates, const QStringList& siteAddresses)
{
    struct Entry {
        const PictureCandidate* Candidate;
        bool OwnSite;
        bool Showable;
        bool AdShaped;
        qint64 Area;
        std::size_t Order;
    };
    std::vector<Entry> best, lastResort;
    QSet<QString> seen;
    const QStringList domains = SiteDomains(siteAddresses);
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        const PictureCandidate& c = candidates[i];
        if (seen.contains(c.Address))
            continue;
        const Parts parts(c.Address);
        if (Refused(c, parts, domains))
            continue;
        seen.insert(c.Address);
        const Entry e{&c,
                      OnSite(parts.Host, domains),
                      KindOfName(parts.Name) != AddressKind::Unshowable,
                      IsAdShaped(c),
                      qint64(c.Width) * c.Height,
                      i};
        (Thumbnail(c, parts) ? lastResort : best).push_back(e);
    }
    auto better = [](const Entry& a, const Entry& b) {
        if (a.OwnSite != b.OwnSite)
            return a.OwnSite;
        if (a.Showable != b.Showable)
            return a.Showable;
        if (a.AdShaped != b.AdShaped)
            return !a.AdShaped;
        if (a.Area != b.Area)
            return a.Area > b.Area;
        return a.Order < b.Order;
    };
    std::stable_sort(best.begin(), best.end(), better);
    std::stable_sort(lastResort.begin(), lastResort.end(), better);
    RankedPictures ranked;
    for (const Entry& e : best)
        ranked.Best.push_back(*e.Candidate);
    for (const Entry& e : lastResort)
        ranked.LastResort.push_back(*e.Candidate);
    return ranked;
}

std::optional<PictureCandidate> MainComicPicture(const std::vector<PictureCandidate>& candidates,
                                                 const QStringList& siteAddresses, bool markedOnly)
{
    const RankedPictures ranked = RankPictures(candidates, siteAddresses);
    for (const PictureCandidate& c : ranked.Best)
        if (SaysComic(c))
            return c;
    if (markedOnly)
        return std::nullopt;
    const PictureCandidate* largest = nullptr;
    for (const PictureCandidate& c : ranked.Best)
        if (c.Width > 0 && c.Height > 0 &&
            (!largest || qint64(c.Width) * c.Height > qint64(largest->Width) * largest->Height))
            largest = &c;
    if (largest)
        return *largest;
    return std::nullopt;
}

} // namespace pw::sources
