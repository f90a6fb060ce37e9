#include "sources/HtmlPictures.h"

#include "sources/AddressJoin.h"
#include "sources/HtmlTagScanner.h"

#include <QRegularExpression>

namespace pw::sources {

namespace {

constexpr std::size_t kMaxImages = 1000;
constexpr qsizetype kMaxTextChars = 1000;

// "600", "600px", " 600 " give 600; "100%", "auto" and nonsense give 0.
int Pixels(QString value)
{
    value = value.trimmed().toLower();
    if (value.endsWith(QLatin1String("px")))
        value.chop(2);
    bool ok = false;
    const int n = value.trimmed().toInt(&ok);
    return ok && n > 0 && n < 100000 ? n : 0;
}

int StylePixels(const QString& style, bool width)
{
    static const QRegularExpression widthRe(QStringLiteral("(?:^|[;\\s])width\\s*:\\s*(\\d+)\\s*px"),
                                            QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression heightRe(QStringLiteral("(?:^|[;\\s])height\\s*:\\s*(\\d+)\\s*px"),
                                             QRegularExpression::CaseInsensitiveOption);
    if (style.isEmpty())
        return 0;
    const QRegularExpressionMatch m = (width ? widthRe : heightRe).match(style);
    return m.hasMatch() ? Pixels(m.captured(1)) : 0;
}

QString RealSource(const HtmlTag& tag)
{
    const QString src = tag.Attribute(QLatin1StringView("src")).trimmed();
    if (!src.isEmpty() && !src.startsWith(QLatin1String("data:"), Qt::CaseInsensitive))
        return src;
    for (const char* lazy : {"data-src", "data-lazy-src", "data-original", "data-orig-file"}) {
        const QString value = tag.Attribute(QLatin1StringView(lazy)).trimmed();
        if (!value.isEmpty())
            return value;
    }
    return src;
}

bool IsVoid(const QString& name)
{
    static const QStringList names = {
        QStringLiteral("img"),  QStringLiteral("br"),   QStringLiteral("hr"),     QStringLiteral("input"),
        QStringLiteral("meta"), QStringLiteral("link"), QStringLiteral("source"), QStringLiteral("wbr"),
        QStringLiteral("area"), QStringLiteral("base"), QStringLiteral("col"),    QStringLiteral("embed")};
    return names.contains(name);
}

// Sites wrap the strip in <div id="comic"> and leave the <img> itself unmarked. The open
// elements are followed loosely: an end tag closes back to its own start tag, if open.
class Containers {
public:
    void Open(const HtmlTag& tag)
    {
        if (IsVoid(tag.Name) || open_.size() >= kMaxDepth)
            return;
        // The page's own classes ("single-comic") say nothing about one picture.
        const bool page = tag.Name == QLatin1String("html") || tag.Name == QLatin1String("body");
        open_.push_back(
            {tag.Name, !page && NamesComic(tag.Attribute(QLatin1StringView("id")) + QLatin1Char(' ') +
                                           tag.Attribute(QLatin1StringView("class")))});
    }
    void Close(const QString& name)
    {
        for (auto it = open_.rbegin(); it != open_.rend(); ++it)
            if (it->Name == name) {
                open_.erase(std::next(it).base(), open_.end());
                return;
            }
    }
    bool InsideComic() const
    {
        for (const Element& e : open_)
            if (e.Marked)
                return true;
        return false;
    }

private:
    static constexpr std::size_t kMaxDepth = 256;
    struct Element {
        QString Name;
        bool Marked;
    };
    std::vector<Element> open_;
};

} // namespace

std::vector<PictureCandidate> ImagesIn(QStringView html, const QString& base, std::size_t limit)
{
    limit = qMin(limit, kMaxImages);
    if (limit == 0)
        return {};
    std::vector<PictureCandidate> images;
    HtmlTagScanner scanner(html);
    QString link;
    Containers containers;
    while (const auto tag = scanner.Next()) {
        if (tag->Closing)
            containers.Close(tag->Name);
        else
            containers.Open(*tag);
        if (tag->Name == QLatin1String("a")) {
            link = tag->Closing ? QString() : ResolveAddress(base, tag->Attribute(QLatin1StringView("href")));
            continue;
        }
        if (tag->Closing || tag->Name != QLatin1String("img"))
            continue;
        PictureCandidate c;
        c.Address = ResolveAddress(base, RealSource(*tag));
        if (c.Address.isEmpty())
            continue;
        const QString style = tag->Attribute(QLatin1StringView("style"));
        c.Width = Pixels(tag->Attribute(QLatin1StringView("width")));
        if (c.Width == 0)
            c.Width = StylePixels(style, true);
        c.Height = Pixels(tag->Attribute(QLatin1StringView("height")));
        if (c.Height == 0)
            c.Height = StylePixels(style, false);
        c.ImageMap = !tag->Attribute(QLatin1StringView("usemap")).isNull();
        c.LinkAddress = link;
        c.Alt = tag->Attribute(QLatin1StringView("alt")).simplified().left(kMaxTextChars);
        c.Title = tag->Attribute(QLatin1StringView("title")).simplified().left(kMaxTextChars);
        const QString marks = tag->Attribute(QLatin1StringView("id")) + QLatin1Char(' ') +
                              tag->Attribute(QLatin1StringView("class"));
        c.Hints = marks.toLower().left(kMaxTextChars);
        c.MarkedComic = NamesComic(marks) || containers.InsideComic();
        images.push_back(std::move(c));
        if (images.size() >= limit)
            break;
    }
    return images;
}

} // namespace pw::sources
