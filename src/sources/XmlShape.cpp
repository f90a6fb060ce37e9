#include "sources/XmlShape.h"

#include "sources/TextCharset.h"

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <cstring>
#include <vector>

namespace pw::sources {

namespace {

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool IsNameStart(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' ||
           static_cast<unsigned char>(c) >= 0x80;
}

class Pass {
public:
    Pass(QByteArrayView d, const QList<QByteArrayView>& roots) : d_(d.data()), n_(d.size()), roots_(roots) {}

    XmlShape Run();

private:
    bool At(const char* marker) const
    {
        const qsizetype len = static_cast<qsizetype>(std::strlen(marker));
        return n_ - pos_ >= len && std::memcmp(d_ + pos_, marker, static_cast<std::size_t>(len)) == 0;
    }
    void SkipPast(const char* marker)
    {
        const QByteArrayView rest(d_ + pos_, n_ - pos_);
        const qsizetype at = rest.indexOf(QByteArrayView(marker));
        pos_ = at < 0 ? n_ : pos_ + at + static_cast<qsizetype>(std::strlen(marker));
    }
    // From just after "<!DOCTYPE": false when it holds an internal subset.
    bool PlainDoctype();
    // From the "<" of a start tag: its attributes counted; pos_ ends after its ">".
    bool StartTag(XmlShape& shape);

    const char* d_;
    qsizetype n_;
    qsizetype pos_ = 0;
    const QList<QByteArrayView>& roots_;
    std::vector<int> namespaces_; // declared by each open element
    int inScope_ = 0;
};

bool Pass::PlainDoctype()
{
    char quote = 0;
    for (; pos_ < n_; ++pos_) {
        const char c = d_[pos_];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '[') {
            return false;
        } else if (c == '>') {
            ++pos_;
            return true;
        }
    }
    return true;
}

bool Pass::StartTag(XmlShape& shape)
{
    ++pos_; // "<"
    int attributes = 0;
    int namespaces = 0;
    qsizetype token = -1; // where the current attribute name starts
    char quote = 0;
    char previous = ' ';
    for (; pos_ < n_; previous = d_[pos_], ++pos_) {
        const char c = d_[pos_];
        if (quote) {
            if (c == quote)
                quote = 0;
            continue;
        }
        if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            break;
        } else if (c == '=') {
            ++attributes;
            if (token >= 0 && pos_ - token >= 5 && std::memcmp(d_ + token, "xmlns", 5) == 0)
                ++namespaces;
            token = -1;
        } else if (!IsSpace(c) && (IsSpace(previous) || previous == '"' || previous == '\'') && token < 0) {
            token = pos_;
        }
    }
    const bool empty = pos_ > 0 && pos_ < n_ && d_[pos_ - 1] == '/';
    if (pos_ < n_)
        ++pos_;
    if (attributes > XmlShapeCheck::kMaxAttributes) {
        shape.Refusal =
            QStringLiteral("an element holds more than %1 attributes").arg(XmlShapeCheck::kMaxAttributes);
        return false;
    }
    if (inScope_ + namespaces > XmlShapeCheck::kMaxNamespacesInScope) {
        shape.Refusal = QStringLiteral("more than %1 namespaces are declared at once")
                            .arg(XmlShapeCheck::kMaxNamespacesInScope);
        return false;
    }
    if (!empty) {
        namespaces_.push_back(namespaces);
        inScope_ += namespaces;
    }
    return true;
}

XmlShape Pass::Run()
{
    XmlShape shape;
    if (At("\xEF\xBB\xBF"))
        pos_ = 3;
    // The prolog, up to the root element.
    for (;;) {
        while (pos_ < n_ && IsSpace(d_[pos_]))
            ++pos_;
        if (pos_ >= n_)
            return shape;
        if (At("<?")) {
            SkipPast("?>");
        } else if (At("<!--")) {
            SkipPast("-->");
        } else if (At("<!DOCTYPE") || At("<!doctype")) {
            pos_ += 9;
            if (!PlainDoctype()) {
                shape.Refusal = QStringLiteral("its document type declares entries of its own");
                return shape;
            }
        } else if (d_[pos_] == '<' && pos_ + 1 < n_ && IsNameStart(d_[pos_ + 1])) {
            break;
        } else {
            return shape; // not XML the reader would take
        }
    }
    qsizetype nameEnd = pos_ + 1;
    while (nameEnd < n_ && !IsSpace(d_[nameEnd]) && d_[nameEnd] != '>' && d_[nameEnd] != '/')
        ++nameEnd;
    QByteArrayView name(d_ + pos_ + 1, nameEnd - pos_ - 1);
    if (const qsizetype colon = name.lastIndexOf(':'); colon >= 0)
        name = name.sliced(colon + 1);
    shape.FeedRoot = roots_.contains(name);
    if (!shape.FeedRoot)
        return shape;

    while (pos_ < n_) {
        const void* lt = std::memchr(d_ + pos_, '<', static_cast<std::size_t>(n_ - pos_));
        if (!lt)
            break;
        pos_ = static_cast<const char*>(lt) - d_;
        if (At("<!--")) {
            SkipPast("-->");
        } else if (At("<![CDATA[")) {
            SkipPast("]]>");
        } else if (At("<?")) {
            SkipPast("?>");
        } else if (At("<!")) {
            SkipPast(">");
        } else if (At("</")) {
            SkipPast(">");
            if (!namespaces_.empty()) {
                inScope_ -= namespaces_.back();
                namespaces_.pop_back();
            }
        } else if (pos_ + 1 < n_ && IsNameStart(d_[pos_ + 1])) {
            if (!StartTag(shape))
                return shape;
            // Deeper than this the feed reader stops by itself.
            if (namespaces_.size() > static_cast<std::size_t>(XmlShapeCheck::kMaxDepth))
                return shape;
        } else {
            ++pos_;
        }
    }
    return shape;
}

} // namespace

XmlShape XmlShapeCheck::Check(QByteArrayView document)
{
    static const QList<QByteArrayView> feedRoots = {"rss", "RDF", "feed"};
    return Check(document, feedRoots);
}

XmlShape XmlShapeCheck::Check(QByteArrayView document, const QList<QByteArrayView>& roots)
{
    bool bigEndian = false;
    if (LooksUtf16(document, &bigEndian)) {
        QStringDecoder decoder(bigEndian ? QStringDecoder::Utf16BE : QStringDecoder::Utf16LE);
        const QByteArray utf8 = QString(decoder.decode(document)).toUtf8();
        return Pass(utf8, roots).Run();
    }
    return Pass(document, roots).Run();
}

} // namespace pw::sources
