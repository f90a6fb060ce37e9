#pragma once

#include <QString>

namespace pw::update {

// <comic><year><MM><DD><extension>: the year without leading zeros, month and day
// with two digits.
QString StripFileNameFor(const QString& comicName, quint16 year, quint16 month, quint16 day,
                         const QString& extension);

// The last four characters of a strip address make the file's extension: only a dot
// and three letters or digits are taken, so nothing else reaches a file name.
bool IsStripExtension(const QString& extension);

} // namespace pw::update
