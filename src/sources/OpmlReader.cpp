#include "sources/OpmlReader.h"

#include "sources/HtmlTagScanner.h"
#include "sources/TextCharset.h"
#include "sources/XmlShape.h"

#include <QXmlStreamReader>

namespace pw::sources {

namespace {

// Lists written by hand use HTML's named entities without declaring them.
class UndeclaredEntities : public QXmlStreamEntityResolver {
public:
    QString resolveUndeclaredEntity(const QString& name) override
    {
        const QString reference = QLatin1Char('&') + name + QLatin1Char(';');
        const QString decoded = DecodeCharacterReferences(reference);
        return decoded == reference ? QString() : decoded;
    }
};

// Some exporters escape a title that already held references ("Tom &amp;amp; Jerry").
QString TitleText(QStringView raw)
{
    QString text = raw.left(OpmlDocument::kMaxFieldChars).toString();
    if (text.contains(QLatin1Char('&')))
        text = DecodeCharacterReferences(text);
    return text.simplified();
}

QString Attribute(const QXmlStreamAttributes& attributes, QLatin1StringView name, bool* present = nullptr)
{
    // OPML 2.0 spells it xmlUrl; older exporters wrote xmlurl or XMLURL.
    for (const QXmlStreamAttribute& a : attributes) {
        if (a.qualifiedName().compare(name, Qt::CaseInsensitive) == 0) {
            if (present)
                *present = true;
            return a.value().left(OpmlDocument::kMaxFieldChars).trimmed().toString();
        }
    }
    if (present)
        *present = false;
    return {};
}

class OpmlParser {
public:
    OpmlParser(const QByteArray& document, const QString& text)
    {
        if (text.isNull())
            reader_.addData(document);
        else
            reader_.addData(text);
        reader_.setNamespaceProcessing(false);
        reader_.setEntityExpansionLimit(1024);
        reader_.setEntityResolver(&entities_);
    }

    OpmlDocument Run();

private:
    void StartElement();
    void Refuse(const QString& why)
    {
        if (doc_.Error.isEmpty())
            doc_.Error = why;
    }

    UndeclaredEntities entities_;
    QXmlStreamReader reader_;
    OpmlDocument doc_;
    int depth_ = 0;
    bool inHeadTitle_ = false;
};

void OpmlParser::StartElement()
{
    ++depth_;
    if (depth_ > OpmlDocument::kMaxDepth)
        return Refuse(
            QStringLiteral("its outlines are nested deeper than %1 levels").arg(OpmlDocument::kMaxDepth));
    const QStringView name = reader_.qualifiedName();
    if (depth_ == 1) {
        if (name != u"opml")
            Refuse(QStringLiteral("it is no OPML document"));
        return;
    }
    if (depth_ == 3 && name == u"title")
        inHeadTitle_ = true;
    if (name != u"outline")
        return;
    const QXmlStreamAttributes attributes = reader_.attributes();
    OpmlOutline outline;
    outline.XmlUrl = Attribute(attributes, QLatin1StringView("xmlUrl"), &outline.HasXmlUrl);
    if (!outline.HasXmlUrl) {
        if (Attribute(attributes, QLatin1StringView("type"))
                .compare(QLatin1String("link"), Qt::CaseInsensitive) != 0)
            return; // a folder, or something no feed reader follows
        outline.Url = Attribute(attributes, QLatin1StringView("url"));
        if (outline.Url.isEmpty())
            return;
    }
    outline.HtmlUrl = Attribute(attributes, QLatin1StringView("htmlUrl"));
    outline.Title = TitleText(Attribute(attributes, QLatin1StringView("title")));
    if (outline.Title.isEmpty())
        outline.Title = TitleText(Attribute(attributes, QLatin1StringView("text")));
    if (doc_.Outlines.size() >= OpmlDocument::kMaxOutlines)
        return Refuse(QStringLiteral("it lists more than %1 feeds").arg(OpmlDocument::kMaxOutlines));
    doc_.Outlines.push_back(std::move(outline));
}

OpmlDocument OpmlParser::Run()
{
    while (doc_.Error.isEmpty() && !reader_.atEnd()) {
        switch (reader_.readNext()) {
        case QXmlStreamReader::DTD:
            // Entities of the document's own are how "billion laughs" and its kin work.
            if (!reader_.entityDeclarations().isEmpty() ||
                reader_.text().contains(QLatin1String("<!ENTITY"), Qt::CaseInsensitive))
                Refuse(QStringLiteral("it declares entities of its own"));
            break;
        case QXmlStreamReader::StartElement:
            StartElement();
            break;
        case QXmlStreamReader::EndElement:
            --depth_;
            inHeadTitle_ = false;
            break;
        case QXmlStreamReader::Characters:
        case QXmlStreamReader::EntityReference:
            if (inHeadTitle_ && doc_.Title.size() < OpmlDocument::kMaxFieldChars)
                doc_.Title += reader_.text().left(OpmlDocument::kMaxFieldChars);
            break;
        default:
            break;
        }
    }
    if (doc_.Error.isEmpty() && reader_.hasError())
        doc_.Error = QStringLiteral("it is malformed (line %1: %2)")
                         .arg(reader_.lineNumber())
                         .arg(reader_.errorString());
    if (!doc_.Error.isEmpty())
        doc_.Outlines.clear();
    doc_.Title = doc_.Title.simplified();
    return std::move(doc_);
}

} // namespace

OpmlDocument ReadOpml(const QByteArray& document)
{
    OpmlDocument refused;
    if (document.size() > OpmlDocument::kMaxBytes) {
        refused.Error =
            QStringLiteral("it is larger than %1 MB").arg(OpmlDocument::kMaxBytes / (1024 * 1024));
        return refused;
    }
    const XmlShape shape = XmlShapeCheck::Check(document, {"opml"});
    if (!shape.Refusal.isEmpty()) {
        refused.Error = QStringLiteral("it is malformed (%1)").arg(shape.Refusal);
        return refused;
    }
    if (!shape.FeedRoot) {
        refused.Error = QStringLiteral("it is no OPML document");
        return refused;
    }
    // Without a declaration, bytes that are no UTF-8 were written in the West's old default.
    QString text;
    const QByteArray declared = XmlDeclaredEncoding(document);
    if (IsWesternCharset(declared))
        text = DecodeText(document, declared);
    else if (declared.isEmpty() && !LooksUtf16(document) && !IsValidUtf8(document))
        text = DecodeText(document, "windows-1252");
    return OpmlParser(document, text).Run();
}

} // namespace pw::sources
