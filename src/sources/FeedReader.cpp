#include "sources/FeedReader.h"

#include "sources/AddressJoin.h"
#include "sources/HtmlHead.h"
#include "sources/HtmlPictures.h"
#include "sources/HtmlTagScanner.h"
#include "sources/TextCharset.h"
#include "sources/XmlShape.h"

#include <QHash>
#include <QXmlStreamReader>
#include <array>
#include <vector>

namespace pw::sources {

namespace {

constexpr qsizetype kMaxFieldChars = 1024 * 1024;
constexpr int kMaxDepth = 256;
constexpr std::size_t kMaxPictures = 200; // candidates per item
constexpr qsizetype kMaxNoteChars = 500;
// A longer guid is no name anyone gives an item: it is not kept.
constexpr qsizetype kMaxIdChars = 1000;

enum class Ns { None, Atom, Rdf, Rss1, Content, Dc, Media, Enc, History, Xml, Other };

const QLatin1StringView kRdfUri("http://www.w3.org/1999/02/22-rdf-syntax-ns#");
const QLatin1StringView kEncUri("http://purl.oclc.org/net/rss_2.0/enc#");

Ns NsFromUri(QStringView uri)
{
    if (uri.isEmpty())
        return Ns::None;
    if (uri == u"http://www.w3.org/2005/Atom")
        return Ns::Atom;
    if (uri == u"http://www.w3.org/1999/02/22-rdf-syntax-ns#")
        return Ns::Rdf;
    if (uri == u"http://purl.org/rss/1.0/")
        return Ns::Rss1;
    if (uri == u"http://purl.org/rss/1.0/modules/content/")
        return Ns::Content;
    if (uri == u"http://purl.org/dc/elements/1.1/")
        return Ns::Dc;
    if (uri == u"http://search.yahoo.com/mrss/" || uri == u"http://search.yahoo.com/mrss")
        return Ns::Media;
    if (uri == kEncUri)
        return Ns::Enc;
    if (uri == u"http://purl.org/syndication/history/1.0")
        return Ns::History;
    return Ns::Other;
}

// Without namespace processing (a feed that uses a prefix it never declares), prefixes
// are taken at their usual meaning and unprefixed names belong to the root's vocabulary.
Ns NsFromPrefix(QStringView prefix, Ns unprefixed)
{
    if (prefix.isEmpty())
        return unprefixed;
    if (prefix == u"atom")
        return Ns::Atom;
    if (prefix == u"rdf")
        return Ns::Rdf;
    if (prefix == u"content")
        return Ns::Content;
    if (prefix == u"dc")
        return Ns::Dc;
    if (prefix == u"media")
        return Ns::Media;
    if (prefix == u"enc")
        return Ns::Enc;
    if (prefix == u"fh")
        return Ns::History;
    if (prefix == u"xml")
        return Ns::Xml;
    return Ns::Other;
}

bool IsImageType(const QString& type)
{
    return type.trimmed().startsWith(QLatin1String("image/"), Qt::CaseInsensitive);
}

// A type that says nothing: the address's extension, or the answer's first bytes, decide.
bool IsVagueType(const QString& type)
{
    const QString t = type.trimmed().toLower();
    return t.isEmpty() || t == QLatin1String("application/octet-stream") ||
           t == QLatin1String("binary/octet-stream");
}

int DeclaredPixels(const QString& value)
{
    bool ok = false;
    const int n = value.trimmed().toInt(&ok);
    return ok && n > 0 && n < 100000 ? n : 0;
}

// Which texts of an item are kept; the order is the picture search's.
enum Field {
    Encoded,
    AtomContent,
    Description,
    Summary,
    Title,
    Link,
    Guid,
    AtomId,
    PubDate,
    DcDate,
    Published,
    Updated,
    FieldCount
};
constexpr std::array<Field, 4> kPictureTexts = {Encoded, AtomContent, Description, Summary};
constexpr std::array<Field, 4> kDateTexts = {PubDate, Published, DcDate, Updated};

// Feeds written by hand use HTML's named entities without declaring them.
class HtmlEntities : public QXmlStreamEntityResolver {
public:
    QString resolveUndeclaredEntity(const QString& name) override
    {
        const QString reference = QLatin1Char('&') + name + QLatin1Char(';');
        const QString decoded = DecodeCharacterReferences(reference);
        return decoded == reference ? QString() : decoded;
    }
};

struct ItemDraft {
    std::array<QString, FieldCount> Text;
    std::array<QString, FieldCount> Base; // the address each text's relative references use
    std::array<bool, FieldCount> Seen{};
    std::vector<PictureCandidate> Attached;   // enclosures and media:content
    std::vector<PictureCandidate> Thumbnails; // media:thumbnail
    std::vector<PictureCandidate> Xhtml;      // <img> inside XHTML content or summary
    QString XhtmlLink;                        // the <a href> an XHTML <img> stands in
    std::size_t GroupStart = 0;               // where the open media:group's pictures begin
    bool InGroup = false;
    bool GuidIsLink = true; // a guid is the item's page unless it says it is not
    QString AtomLink;
    QString RdfAbout; // an RSS 1.0 item's own name for itself
};

class FeedParser {
public:
    // text, when not null, is the document already decoded (its declaration is then ignored).
    FeedParser(const QByteArray& document, const QString& text, const QString& address, bool namespaces)
        : address_(address)
    {
        if (text.isNull())
            reader_.addData(document);
        else
            reader_.addData(text);
        reader_.setNamespaceProcessing(namespaces);
        reader_.setEntityExpansionLimit(1024);
        reader_.setEntityResolver(&entities_);
    }

    Feed Run();

private:
    struct Open {
        Ns ns;
        QString name;
        QString base;
    };

    Ns NsOf() const
    {
        if (reader_.namespaceProcessing())
            return NsFromUri(reader_.namespaceUri());
        return NsFromPrefix(reader_.prefix(), rootVocabulary_);
    }
    QString Attr(QLatin1StringView name) const { return reader_.attributes().value(name).toString(); }
    // An attribute of another vocabulary than its element's (rdf:resource on enc:enclosure).
    QString ForeignAttr(QLatin1StringView uri, QLatin1StringView prefixed) const
    {
        if (reader_.namespaceProcessing())
            return reader_.attributes()
                .value(uri, prefixed.mid(prefixed.indexOf(QLatin1Char(':')) + 1))
                .toString();
        return reader_.attributes().value(prefixed).toString();
    }
    void Attach(PictureOrigin origin, const QString& url, const QString& type, const QString& medium);
    QString CurrentBase() const { return stack_.empty() ? address_ : stack_.back().base; }
    bool IsItemStart(Ns ns, QStringView name) const;
    bool IsChannelTitle(Ns ns, QStringView name) const;
    bool IsChannelLink(Ns ns, QStringView name) const;
    bool IsChannelChild() const;
    void ChannelAtomLink();
    void StartElement();
    void EndElement();
    void ItemElement(Ns ns, QStringView name);
    void FinishItem();
    void RankItems();
    void ForgetSharedIds();
    void Refuse(const QString& why) { error_ = why; }

    HtmlEntities entities_;
    QXmlStreamReader reader_;
    QString address_;
    Feed feed_;
    Ns rootVocabulary_ = Ns::None;
    std::vector<Open> stack_;
    QString error_;

    std::optional<ItemDraft> item_;
    std::size_t itemDepth_ = 0;
    bool itemsFull_ = false;
    // Text being collected: for an item field, the channel's title (-1) or link (-3).
    int captureField_ = -2;
    std::size_t captureDepth_ = 0;
    QString capture_;
    std::size_t xhtmlDepth_ = 0; // inside XHTML content/summary when not 0
};

bool FeedParser::IsItemStart(Ns ns, QStringView name) const
{
    switch (feed_.Kind) {
    case FeedKind::Rss2:
        return ns == Ns::None && name == u"item";
    case FeedKind::Rss1:
        return (ns == Ns::Rss1 || ns == Ns::None) && name == u"item";
    case FeedKind::Atom:
        return ns == Ns::Atom && name == u"entry";
    case FeedKind::None:
        break;
    }
    return false;
}

bool FeedParser::IsChannelLink(Ns ns, QStringView name) const
{
    if (name != u"link" || stack_.size() < 2 || !feed_.Site.isEmpty())
        return false;
    const Open& parent = stack_[stack_.size() - 2];
    switch (feed_.Kind) {
    case FeedKind::Rss2:
        return ns == Ns::None && parent.name == u"channel";
    case FeedKind::Rss1:
        return ns == Ns::Rss1 && parent.name == u"channel";
    case FeedKind::Atom:
    case FeedKind::None:
        break;
    }
    return false;
}

bool FeedParser::IsChannelTitle(Ns ns, QStringView name) const
{
    if (name != u"title" || stack_.size() < 2 || !feed_.Title.isEmpty())
        return false;
    const Open& parent = stack_[stack_.size() - 2];
    switch (feed_.Kind) {
    case FeedKind::Rss2:
        return ns == Ns::None && parent.name == u"channel";
    case FeedKind::Rss1:
        return ns == Ns::Rss1 && parent.name == u"channel";
    case FeedKind::Atom:
        return ns == Ns::Atom && stack_.size() == 2;
    case FeedKind::None:
        break;
    }
    return false;
}

void FeedParser::StartElement()
{
    const Ns ns = NsOf();
    const QString name = reader_.name().toString();
    QString base = CurrentBase();
    const QStringView xmlBase =
        reader_.namespaceProcessing()
            ? reader_.attributes().value(QLatin1StringView("http://www.w3.org/XML/1998/namespace"),
                                         QLatin1StringView("base"))
            : reader_.attributes().value(QLatin1StringView("xml:base"));
    if (!xmlBase.isEmpty()) {
        const QString resolved = ResolveAddress(base, xmlBase.toString());
        if (!resolved.isEmpty())
            base = resolved;
    }
    stack_.push_back({ns, name, base});
    if (stack_.size() > kMaxDepth)
        return Refuse(QStringLiteral("the feed nests its elements too deeply"));

    if (stack_.size() == 1) {
        if (ns == Ns::None && name == u"rss")
            feed_.Kind = FeedKind::Rss2;
        else if (ns == Ns::Rdf && name == u"RDF")
            feed_.Kind = FeedKind::Rss1, rootVocabulary_ = Ns::Rss1;
        else if ((ns == Ns::Atom || (!reader_.namespaceProcessing() && ns == Ns::None)) && name == u"feed")
            feed_.Kind = FeedKind::Atom, rootVocabulary_ = Ns::Atom;
        else
            Refuse(QStringLiteral("the document is no RSS or Atom feed"));
        return;
    }
    if (captureField_ != -2 && xhtmlDepth_ == 0)
        return; // markup inside a text field (not XHTML) has no meaning here
    if (item_) {
        ItemElement(ns, name);
        return;
    }
    if (IsItemStart(ns, name)) {
        if (feed_.Items.size() >= Feed::kMaxItems) {
            itemsFull_ = true;
            return;
        }
        item_.emplace();
        itemDepth_ = stack_.size();
        if (feed_.Kind == FeedKind::Rss1)
            item_->RdfAbout = ForeignAttr(kRdfUri, QLatin1StringView("rdf:about"));
        return;
    }
    if (IsChannelTitle(ns, name) || IsChannelLink(ns, name)) {
        captureField_ = name == u"title" ? -1 : -3;
        captureDepth_ = stack_.size();
        capture_.clear();
    } else if (ns == Ns::Atom && name == u"link" && IsChannelChild()) {
        ChannelAtomLink();
    } else if (ns == Ns::History && name == u"complete" && IsChannelChild()) {
        feed_.Paging.Complete = true;
    }
}

bool FeedParser::IsChannelChild() const
{
    if (feed_.Kind == FeedKind::Atom)
        return stack_.size() == 2;
    return stack_.size() == 3 && stack_[1].name == u"channel";
}

void FeedParser::ChannelAtomLink()
{
    QString rel = Attr(QLatin1StringView("rel")).trimmed();
    // Relations may be written as IANA registry addresses.
    const QLatin1StringView registry("http://www.iana.org/assignments/relation/");
    if (rel.startsWith(registry))
        rel = rel.mid(registry.size());
    const QString href = Attr(QLatin1StringView("href"));
    if (feed_.Kind == FeedKind::Atom && (rel.isEmpty() || rel == QLatin1String("alternate"))) {
        if (feed_.Site.isEmpty())
            feed_.Site = ResolveAddress(CurrentBase(), href);
    } else if (rel == QLatin1String("next") && feed_.Paging.Next.isEmpty()) {
        feed_.Paging.Next = ResolveAddress(CurrentBase(), href);
    } else if (rel == QLatin1String("prev-archive") && feed_.Paging.PrevArchive.isEmpty()) {
        feed_.Paging.PrevArchive = ResolveAddress(CurrentBase(), href);
    }
}

void FeedParser::ItemElement(Ns ns, QStringView name)
{
    ItemDraft& d = *item_;
    if (xhtmlDepth_ != 0) {
        if (name == u"a") {
            d.XhtmlLink = ResolveAddress(CurrentBase(), Attr(QLatin1StringView("href")));
        } else if (name == u"img" && d.Xhtml.size() < kMaxPictures) {
            PictureCandidate c;
            c.Address = ResolveAddress(CurrentBase(), Attr(QLatin1StringView("src")));
            c.Width = DeclaredPixels(Attr(QLatin1StringView("width")));
            c.Height = DeclaredPixels(Attr(QLatin1StringView("height")));
            c.ImageMap = reader_.attributes().hasAttribute(QLatin1StringView("usemap"));
            c.LinkAddress = d.XhtmlLink;
            c.Alt = Attr(QLatin1StringView("alt")).simplified();
            c.Title = Attr(QLatin1StringView("title")).simplified();
            const QString marks =
                Attr(QLatin1StringView("id")) + QLatin1Char(' ') + Attr(QLatin1StringView("class"));
            c.Hints = marks.toLower();
            c.MarkedComic = NamesComic(marks);
            if (!c.Address.isEmpty())
                d.Xhtml.push_back(std::move(c));
        }
        return;
    }
    if (ns == Ns::Media && name == u"group") {
        d.InGroup = true;
        d.GroupStart = d.Attached.size();
        return;
    }
    if (ns == Ns::Media && name == u"content") {
        Attach(PictureOrigin::Media, Attr(QLatin1StringView("url")), Attr(QLatin1StringView("type")),
               Attr(QLatin1StringView("medium")));
        return;
    }
    if (ns == Ns::Media && name == u"thumbnail") {
        Attach(PictureOrigin::Thumbnail, Attr(QLatin1StringView("url")), QString(), QString());
        return;
    }
    if (feed_.Kind == FeedKind::Rss2 && ns == Ns::None && name == u"enclosure") {
        Attach(PictureOrigin::Enclosure, Attr(QLatin1StringView("url")), Attr(QLatin1StringView("type")),
               QString());
        return;
    }
    if (ns == Ns::Enc && name == u"enclosure") {
        Attach(PictureOrigin::Enclosure, ForeignAttr(kRdfUri, QLatin1StringView("rdf:resource")),
               ForeignAttr(kEncUri, QLatin1StringView("enc:type")), QString());
        return;
    }
    if (feed_.Kind == FeedKind::Atom && ns == Ns::Atom && name == u"link") {
        const QString rel = Attr(QLatin1StringView("rel"));
        const QString href = ResolveAddress(CurrentBase(), Attr(QLatin1StringView("href")));
        if ((rel.isEmpty() || rel == QLatin1String("alternate")) && d.AtomLink.isEmpty())
            d.AtomLink = href;
        else if (rel == QLatin1String("enclosure"))
            Attach(PictureOrigin::Enclosure, Attr(QLatin1StringView("href")), Attr(QLatin1StringView("type")),
                   QString());
        return;
    }
    if (stack_.size() != itemDepth_ + 1)
        return; // only the item's own children carry its fields
    int field = -2;
    const bool plain = ns == Ns::None || ns == Ns::Rss1;
    if (ns == Ns::Content && name == u"encoded")
        field = Encoded;
    else if (ns == Ns::Atom && name == u"content")
        field = AtomContent;
    else if (ns == Ns::Atom && name == u"summary")
        field = Summary;
    else if (plain && name == u"description")
        field = Description;
    else if ((plain || ns == Ns::Atom) && name == u"title")
        field = Title;
    else if (plain && name == u"link")
        field = Link;
    else if (plain && name == u"guid")
        field = Guid;
    else if (ns == Ns::Atom && name == u"id")
        field = AtomId;
    else if (plain && name == u"pubDate")
        field = PubDate;
    else if (ns == Ns::Dc && name == u"date")
        field = DcDate;
    else if (ns == Ns::Atom && name == u"published")
        field = Published;
    else if (ns == Ns::Atom && name == u"updated")
        field = Updated;
    if (field == -2 || d.Seen[field])
        return;
    if (field == Guid)
        d.GuidIsLink = Attr(QLatin1StringView("isPermaLink")) != QLatin1String("false");
    if ((field == AtomContent || field == Summary) &&
        Attr(QLatin1StringView("type")) == QLatin1String("xhtml"))
        xhtmlDepth_ = stack_.size();
    captureField_ = field;
    captureDepth_ = stack_.size();
    capture_.clear();
}

void FeedParser::Attach(PictureOrigin origin, const QString& url, const QString& type, const QString& medium)
{
    ItemDraft& d = *item_;
    // A type or medium that names something else (a video, a podcast) is no picture;
    // without either the address's extension, or else the answer's first bytes, decide.
    const bool picture =
        IsImageType(type) || medium.compare(QLatin1String("image"), Qt::CaseInsensitive) == 0;
    if (!picture && (!IsVagueType(type) || !medium.trimmed().isEmpty()))
        return;
    PictureCandidate c;
    c.Origin = origin;
    c.Address = ResolveAddress(CurrentBase(), url);
    c.Width = DeclaredPixels(Attr(QLatin1StringView("width")));
    c.Height = DeclaredPixels(Attr(QLatin1StringView("height")));
    std::vector<PictureCandidate>& list = origin == PictureOrigin::Thumbnail ? d.Thumbnails : d.Attached;
    if (c.Address.isEmpty() || list.size() >= kMaxPictures)
        return;
    // The picture a media:group marks as its default comes first among the group's.
    if (origin == PictureOrigin::Media && d.InGroup &&
        Attr(QLatin1StringView("isDefault")) == QLatin1String("true"))
        list.insert(list.begin() + qMin(d.GroupStart, list.size()), std::move(c));
    else
        list.push_back(std::move(c));
}

void FeedParser::EndElement()
{
    if (item_ && xhtmlDepth_ == 0 && reader_.name() == u"group" && NsOf() == Ns::Media)
        item_->InGroup = false;
    if (item_ && xhtmlDepth_ != 0 && reader_.name() == u"a")
        item_->XhtmlLink.clear();
    if (captureField_ != -2 && stack_.size() == captureDepth_) {
        if (captureField_ == -1) {
            feed_.Title = capture_.simplified();
        } else if (captureField_ == -3) {
            feed_.Site = ResolveAddress(CurrentBase(), capture_.trimmed());
        } else if (item_) {
            item_->Text[captureField_] = capture_;
            item_->Base[captureField_] = CurrentBase();
            item_->Seen[captureField_] = true;
        }
        captureField_ = -2;
        xhtmlDepth_ = 0;
        capture_.clear();
    }
    if (item_ && stack_.size() == itemDepth_) {
        FinishItem();
        item_.reset();
    }
    if (!stack_.empty())
        stack_.pop_back();
}

void FeedParser::FinishItem()
{
    const ItemDraft& d = *item_;
    FeedItem item;
    item.Title = d.Text[Title].simplified().left(1000);
    item.Link = !d.AtomLink.isEmpty() ? d.AtomLink : ResolveAddress(d.Base[Link], d.Text[Link]);
    if (item.Link.isEmpty() && d.GuidIsLink)
        item.Link = ResolveAddress(d.Base[Guid], d.Text[Guid]);
    item.Id = (d.Seen[Guid] ? d.Text[Guid] : d.Seen[AtomId] ? d.Text[AtomId] : d.RdfAbout).trimmed();
    if (item.Id.size() > kMaxIdChars)
        item.Id.clear();
    for (Field f : kDateTexts)
        if (d.Seen[f] && (item.Date = ParseFeedDate(d.Text[f])))
            break;
    item.Candidates = d.Attached;
    bool xhtmlTaken = false;
    for (Field f : kPictureTexts) {
        std::vector<PictureCandidate> images;
        if ((f == AtomContent || f == Summary) && !d.Xhtml.empty() && !xhtmlTaken) {
            images = d.Xhtml;
            xhtmlTaken = true;
        } else if (d.Seen[f]) {
            images =
                ImagesIn(d.Text[f], d.Base[f], kMaxPictures - qMin(kMaxPictures, item.Candidates.size()));
        }
        for (PictureCandidate& c : images)
            if (item.Candidates.size() < kMaxPictures)
                item.Candidates.push_back(std::move(c));
    }
    for (const PictureCandidate& c : d.Thumbnails)
        item.Candidates.push_back(c);
    for (Field f : {Description, Summary, Encoded, AtomContent})
        if (d.Seen[f] && !(item.Note = PlainTextOf(d.Text[f], kMaxNoteChars)).isEmpty())
            break;
    feed_.Items.push_back(std::move(item));
}

Feed FeedParser::Run()
{
    while (error_.isEmpty() && !reader_.atEnd()) {
        switch (reader_.readNext()) {
        case QXmlStreamReader::DTD:
            // Entities of the document's own are how "billion laughs" and its kin work;
            // real feeds do not declare any.
            if (!reader_.entityDeclarations().isEmpty() ||
                reader_.text().contains(QLatin1String("<!ENTITY"), Qt::CaseInsensitive)) {
                Refuse(QStringLiteral("the feed declares entities of its own"));
                feed_.Refused = true;
            }
            break;
        case QXmlStreamReader::StartElement:
            StartElement();
            break;
        case QXmlStreamReader::EndElement:
            EndElement();
            break;
        case QXmlStreamReader::Characters:
        case QXmlStreamReader::EntityReference:
            if (captureField_ != -2 && capture_.size() < kMaxFieldChars)
                capture_ += reader_.text().left(kMaxFieldChars - capture_.size());
            break;
        default:
            break;
        }
    }
    if (error_.isEmpty() && reader_.hasError())
        error_ = reader_.errorString();
    feed_.Error = error_;
    RankItems();
    ForgetSharedIds();
    if (feed_.Error.isEmpty() && itemsFull_)
        feed_.Error = QStringLiteral("the feed holds more than %1 items; the rest were passed over")
                          .arg(Feed::kMaxItems);
    return std::move(feed_);
}

void FeedParser::ForgetSharedIds()
{
    // Some feeds give every item the same guid (the channel's address, say): such a guid
    // tells no item from another.
    QHash<QString, int> uses;
    for (const FeedItem& item : feed_.Items)
        if (!item.Id.isEmpty())
            ++uses[item.Id];
    for (FeedItem& item : feed_.Items)
        if (!item.Id.isEmpty() && uses.value(item.Id) > 1)
            item.Id.clear();
}

void FeedParser::RankItems()
{
    // The channel's link names the comic's site; a feed without one is on the comic's site
    // itself (feeds served by a feed service carry their link).
    const QString site = feed_.Site.isEmpty() ? address_ : feed_.Site;
    for (FeedItem& item : feed_.Items) {
        QStringList own = {site};
        if (!item.Link.isEmpty())
            own.prepend(item.Link);
        const RankedPictures ranked = RankPictures(item.Candidates, own);
        for (const PictureCandidate& c : ranked.Best)
            item.Pictures.append(c.Address);
        for (const PictureCandidate& c : ranked.LastResort)
            item.LastResortPictures.append(c.Address);
        if (!ranked.Best.empty()) {
            item.Picture = ranked.Best.front().Address;
            item.PictureTitle = ranked.Best.front().Title;
            item.PictureAlt = ranked.Best.front().Alt;
            // An enclosure says nothing of itself; the <img> of the same picture may.
            for (const PictureCandidate& c : item.Candidates)
                if (c.Address == item.Picture && (!c.Title.isEmpty() || !c.Alt.isEmpty()) &&
                    item.PictureTitle.isEmpty() && item.PictureAlt.isEmpty()) {
                    item.PictureTitle = c.Title;
                    item.PictureAlt = c.Alt;
                }
        }
    }
}

bool UndeclaredPrefix(const Feed& feed)
{
    return feed.Error.contains(QLatin1String("amespace prefix")) &&
           feed.Error.contains(QLatin1String("declared"));
}

} // namespace

QString FeedKindName(FeedKind kind)
{
    switch (kind) {
    case FeedKind::Rss2:
        return QStringLiteral("RSS 2.0 feed");
    case FeedKind::Rss1:
        return QStringLiteral("RSS 1.0 feed");
    case FeedKind::Atom:
        return QStringLiteral("Atom feed");
    case FeedKind::None:
        break;
    }
    return {};
}

Feed ReadFeed(const QByteArray& document, const QString& documentAddress, const QByteArray& charset)
{
    if (document.size() > Feed::kMaxBytes) {
        Feed refused;
        refused.Error = QStringLiteral("the feed is larger than %1 MB").arg(Feed::kMaxBytes / (1024 * 1024));
        return refused;
    }
    const XmlShape shape = XmlShapeCheck::Check(document);
    if (!shape.Refusal.isEmpty()) {
        Feed refused;
        refused.Error = QStringLiteral("the feed is malformed (%1)").arg(shape.Refusal);
        refused.Refused = true;
        return refused;
    }
    if (!shape.FeedRoot) {
        Feed none;
        none.Error = QStringLiteral("the document is no RSS or Atom feed");
        return none;
    }
    // The answer's header names the character set before the document does; a document
    // that names none and is no UTF-8 was written in the West's old default.
    // A declared Latin-1 is read as windows-1252 (its quotes and dashes are what such
    // feeds hold), as browsers do; other declarations are the XML reader's to follow.
    QByteArray encoding = charset;
    const QByteArray declared = XmlDeclaredEncoding(document);
    if (encoding.isEmpty() && IsWesternCharset(declared))
        encoding = declared;
    if (encoding.isEmpty() && declared.isEmpty() && !LooksUtf16(document) && !IsValidUtf8(document))
        encoding = "windows-1252";
    const QByteArray lower = encoding.trimmed().toLower();
    const QString text =
        lower.isEmpty() || lower == "utf-8" || lower == "utf8" ? QString() : DecodeText(document, encoding);
    Feed feed = FeedParser(document, text, documentAddress, true).Run();
    if (UndeclaredPrefix(feed))
        feed = FeedParser(document, text, documentAddress, false).Run();
    return feed;
}

} // namespace pw::sources
