#include "sources/OpmlWriter.h"

#include <QLocale>
#include <QXmlStreamWriter>

namespace pw::sources {

QByteArray WriteOpml(const QString& title, const std::vector<OpmlOutline>& outlines, const QDateTime& created)
{
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(2);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("opml"));
    xml.writeAttribute(QStringLiteral("version"), QStringLiteral("2.0"));
    xml.writeStartElement(QStringLiteral("head"));
    xml.writeTextElement(QStringLiteral("title"), title);
    // RFC 822, as the format asks.
    xml.writeTextElement(
        QStringLiteral("dateCreated"),
        QLocale::c().toString(created.toUTC(), QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'")));
    xml.writeTextElement(QStringLiteral("docs"), QStringLiteral("http://opml.org/spec2.opml"));
    xml.writeEndElement();
    xml.writeStartElement(QStringLiteral("body"));
    for (const OpmlOutline& o : outlines) {
        xml.writeEmptyElement(QStringLiteral("outline"));
        xml.writeAttribute(QStringLiteral("text"), o.Title);
        xml.writeAttribute(QStringLiteral("title"), o.Title);
        if (!o.XmlUrl.isEmpty()) {
            xml.writeAttribute(QStringLiteral("type"), QStringLiteral("rss"));
            xml.writeAttribute(QStringLiteral("xmlUrl"), o.XmlUrl);
        } else {
            xml.writeAttribute(QStringLiteral("type"), QStringLiteral("link"));
            xml.writeAttribute(QStringLiteral("url"), o.Url);
        }
        if (!o.HtmlUrl.isEmpty())
            xml.writeAttribute(QStringLiteral("htmlUrl"), o.HtmlUrl);
    }
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    return bytes;
}

} // namespace pw::sources
