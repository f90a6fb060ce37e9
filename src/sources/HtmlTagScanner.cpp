#include "sources/HtmlTagScanner.h"

namespace pw::sources {

namespace {

bool IsSpace(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

bool IsNameStart(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z');
}

struct NamedReference {
    const char* Name;
    char16_t Code;
};

constexpr NamedReference kNamed[] = {
    {"amp", u'&'},         {"lt", u'<'},          {"gt", u'>'},          {"quot", u'"'},
    {"apos", u'\''},       {"nbsp", u'\u00a0'},   {"ndash", u'\u2013'},  {"mdash", u'\u2014'},
    {"hellip", u'\u2026'}, {"lsquo", u'\u2018'},  {"rsquo", u'\u2019'},  {"ldquo", u'\u201c'},
    {"rdquo", u'\u201d'},  {"copy", u'\u00a9'},   {"reg", u'\u00ae'},    {"trade", u'\u2122'},
    {"bull", u'\u2022'},   {"middot", u'\u00b7'}, {"laquo", u'\u00ab'},  {"raquo", u'\u00bb'},
    {"eacute", u'\u00e9'}, {"egrave", u'\u00e8'}, {"agrave", u'\u00e0'}, {"auml", u'\u00e4'},
    {"ouml", u'\u00f6'},   {"uuml", u'\u00fc'},   {"szlig", u'\u00df'},
};

} // namespace

QString HtmlTag::Attribute(QLatin1StringView name) const
{
    for (const auto& a : Attributes)
        if (a.first == name)
            return a.second.isNull() ? QStringLiteral("") : a.second;
    return {};
}

QString DecodeCharacterReferences(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'&') {
            out += text[i];
            continue;
        }
        // No reference is longer than this: looking further would make a run of "&"
        // cost the square of its length.
        constexpr qsizetype kLongestReference = 12;
        const qsizetype semi = text.mid(i + 1, kLongestReference).indexOf(u';');
        if (semi < 0) {
            out += text[i];
            continue;
        }
        const QStringView body = text.mid(i + 1, semi);
        bool decoded = false;
        if (body.startsWith(u'#')) {
            bool ok = false;
            const uint code = body.size() > 1 && (body[1] == u'x' || body[1] == u'X')
                                  ? body.mid(2).toUInt(&ok, 16)
                                  : body.mid(1).toUInt(&ok, 10);
            if (ok && code > 0 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF)) {
                const char32_t c = code;
                out += QString::fromUcs4(&c, 1);
                decoded = true;
            }
        } else {
            for (const NamedReference& r : kNamed)
                if (body == QLatin1StringView(r.Name)) {
                    out += QChar(r.Code);
                    decoded = true;
                    break;
                }
        }
        if (decoded)
            i += semi + 1;
        else
            out += text[i];
    }
    return out;
}

void HtmlTagScanner::SkipPast(QLatin1StringView marker)
{
    const qsizetype at = text_.indexOf(marker, pos_, Qt::CaseInsensitive);
    pos_ = at < 0 ? text_.size() : at + marker.size();
}

QString HtmlTagScanner::TextUntilEndTag(QLatin1StringView name)
{
    const qsizetype start = pos_;
    qsizetype at = pos_;
    while ((at = text_.indexOf(QLatin1StringView("</"), at)) >= 0) {
        if (text_.mid(at + 2, name.size()).compare(name, Qt::CaseInsensitive) == 0)
            break;
        at += 2;
    }
    pos_ = at < 0 ? text_.size() : at;
    return text_.mid(start, pos_ - start).toString();
}

std::optional<HtmlTag> HtmlTagScanner::Next()
{
    while (pos_ < text_.size()) {
        const qsizetype lt = text_.indexOf(u'<', pos_);
        if (lt < 0 || lt + 1 >= text_.size()) {
            pos_ = text_.size();
            return std::nullopt;
        }
        pos_ = lt + 1;
        const QChar c = text_[pos_];
        if (text_.mid(pos_).startsWith(QLatin1StringView("!--"))) {
            pos_ += 3;
            SkipPast(QLatin1StringView("-->"));
        } else if (c == u'!' || c == u'?') {
            SkipPast(QLatin1StringView(">"));
        } else if (IsNameStart(c) || (c == u'/' && pos_ + 1 < text_.size() && IsNameStart(text_[pos_ + 1]))) {
            HtmlTag tag = ReadTag();
            if (!tag.Closing && (tag.Name == QLatin1String("script") || tag.Name == QLatin1String("style")))
                TextUntilEndTag(QLatin1StringView(tag.Name == QLatin1String("script") ? "script" : "style"));
            return tag;
        }
        // A lone "<" is text.
    }
    return std::nullopt;
}

HtmlTag HtmlTagScanner::ReadTag()
{
    HtmlTag tag;
    if (text_[pos_] == u'/') {
        tag.Closing = true;
        ++pos_;
    }
    const qsizetype nameStart = pos_;
    while (pos_ < text_.size() && !IsSpace(text_[pos_]) && text_[pos_] != u'>' && text_[pos_] != u'/')
        ++pos_;
    tag.Name = text_.mid(nameStart, pos_ - nameStart).toString().toLower();
    while (pos_ < text_.size()) {
        while (pos_ < text_.size() && (IsSpace(text_[pos_]) || text_[pos_] == u'/'))
            ++pos_;
        if (pos_ >= text_.size() || text_[pos_] == u'>')
            break;
        const qsizetype attrStart = pos_;
        while (pos_ < text_.size() && !IsSpace(text_[pos_]) && text_[pos_] != u'>' && text_[pos_] != u'=' &&
               text_[pos_] != u'/')
            ++pos_;
        if (pos_ == attrStart) { // a stray "=" or quote
            ++pos_;
            continue;
        }
        const QString name = text_.mid(attrStart, pos_ - attrStart).toString().toLower();
        while (pos_ < text_.size() && IsSpace(text_[pos_]))
            ++pos_;
        QString value = QStringLiteral("");
        if (pos_ < text_.size() && text_[pos_] == u'=') {
            ++pos_;
            while (pos_ < text_.size() && IsSpace(text_[pos_]))
                ++pos_;
            if (pos_ < text_.size() && (text_[pos_] == u'"' || text_[pos_] == u'\'')) {
                const QChar quote = text_[pos_];
                const qsizetype end = text_.indexOf(quote, pos_ + 1);
                const qsizetype stop = end < 0 ? text_.size() : end;
                value = DecodeCharacterReferences(text_.mid(pos_ + 1, stop - pos_ - 1));
                pos_ = end < 0 ? text_.size() : end + 1;
            } else {
                const qsizetype valueStart = pos_;
                while (pos_ < text_.size() && !IsSpace(text_[pos_]) && text_[pos_] != u'>')
                    ++pos_;
                value = DecodeCharacterReferences(text_.mid(valueStart, pos_ - valueStart));
            }
        }
        tag.Attributes.append({name, value});
    }
    if (pos_ < text_.size())
        ++pos_; // the ">"
    return tag;
}

} // namespace pw::sources
