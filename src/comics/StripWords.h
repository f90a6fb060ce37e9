#pragma once

#include <QByteArray>
#include <QString>
#include <utility>
#include <vector>

namespace pw::comics {

// What a feed or page says about a strip besides its picture.
struct StripWords {
    QString Title;     // the item's title
    QString TitleText; // the picture's hover text
    QString AltText;   // the picture's alternative text
    QString Page;      // the item's own page, http(s) only
    QString Note;      // a short description

    // Longest kept text of each field, in characters.
    static constexpr qsizetype kMaxTitle = 300;
    static constexpr qsizetype kMaxText = 2000;
    static constexpr qsizetype kMaxPage = 2000;

    bool IsEmpty() const;
    bool operator==(const StripWords&) const = default;

    // One line of plain text: control and direction-changing characters removed, white
    // space folded, cut to `limit` characters.
    static QString Clean(const QString& text, qsizetype limit);
    // Every field cleaned and bounded; a page that is no http(s) address is dropped.
    StripWords Cleaned() const;
};

// The words file of one comic: one line per strip, the strip's file name and the fields
// separated by TABs. Pure functions over the file's bytes.
using StripWordsList = std::vector<std::pair<QString, StripWords>>;
StripWordsList ParseStripWords(const QByteArray& bytes);
QByteArray FormatStripWords(const StripWordsList& list);

} // namespace pw::comics
