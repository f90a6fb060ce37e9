#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace pw::update {

// Splits a received page into lines. CR, LF and CR LF end a line; LF CR and CR CR leave
// an empty line between them; a NUL ends a line's text early. Bytes map one to one
// (Latin-1), no character-set conversion.
QStringList SplitPageLines(const QByteArray& page);

// Finds the strip image in the first line that holds "archive/images" and not
// "SendAStrip": the target of the first anchor tag, else the source of the first image
// tag, cut at its closing double quote, appended to siteBase. Empty when no line
// qualifies. The list may be consumed.
QString FindStripAddress(QStringList& lines, const QString& siteBase);

// FindStripAddress over SplitPageLines(page), without making a string of every line.
QString FindStripAddressInPage(const QByteArray& page, const QString& siteBase);

} // namespace pw::update
