#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringView>
#include <optional>

namespace pw::sources {

// One start or end tag of an HTML text. Names are lower case; attribute values have
// their character references decoded.
struct HtmlTag {
    QString Name;
    bool Closing = false;
    QList<QPair<QString, QString>> Attributes;

    // The value of the first attribute of that (lower-case) name; null when absent.
    QString Attribute(QLatin1StringView name) const;
};

// A tolerant tag tokenizer for HTML as pages and feed descriptions really hold it: not
// XML, no tree. Comments, declarations, and the content of script and style are passed
// over. Linear in the text's length.
class HtmlTagScanner {
public:
    explicit HtmlTagScanner(QStringView text) : text_(text) {}

    // The next tag, or nullopt at the end of the text.
    std::optional<HtmlTag> Next();
    // The text from the current position up to the next "</name" (case-insensitive),
    // which is then the next tag; the rest of the text when there is none.
    QString TextUntilEndTag(QLatin1StringView name);

private:
    void SkipPast(QLatin1StringView marker);
    HtmlTag ReadTag();

    QStringView text_;
    qsizetype pos_ = 0;
};

// "&amp;", "&#39;", "&#x27;" and the few named references pages use in attributes.
QString DecodeCharacterReferences(QStringView text);

} // namespace pw::sources
