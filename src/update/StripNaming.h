#pragma once

#include <QString>

namespace pw::update {

// <comic><year><MM><DD><extension>: the year without leading zeros, month and day
// with two digits. The day's second and later strips (ordinal 2 and up) carry "-<ordinal>"
// after the date, so that they sort after the first, in the order they were published.
QString StripFileNameFor(const QString& comicName, quint16 year, quint16 month, quint16 day,
                         const QString& extension, int ordinal = 1);

// The last four characters of a strip address make the file's extension: only a dot
// and three letters or digits are taken, so nothing else reaches a file name.
bool IsStripExtension(const QString& extension);

} // namespace pw::update
