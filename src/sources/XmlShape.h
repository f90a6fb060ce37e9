#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>

namespace pw::sources {

// What a quick pass over an XML document's bytes finds before the XML reader sees it.
// The reader spends the square of the work on some shapes (many attributes on one
// element, many namespaces in scope, attribute defaults of a document type), all while
// the window waits; no real feed has any of them.
struct XmlShape {
    // The root element is one of the names looked for (rss, RDF or feed unless others
    // are given; any prefix). Documents of another root are not looked through.
    bool FeedRoot = false;
    // Why the document is refused before reading; empty when it is not.
    QString Refusal;
};

class XmlShapeCheck {
public:
    static constexpr int kMaxAttributes = 256;
    static constexpr int kMaxNamespacesInScope = 64;
    static constexpr int kMaxDepth = 256;

    // Linear in the document's length. UTF-16 documents are looked at in UTF-8.
    static XmlShape Check(QByteArrayView document);
    // The same for documents whose root is one of roots (local names).
    static XmlShape Check(QByteArrayView document, const QList<QByteArrayView>& roots);
};

} // namespace pw::sources
