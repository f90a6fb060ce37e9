#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace pw::print {

// The name of a paper code when the printer gives none: the classic table of the codes
// 1 to 26 and 256, "Unknown Paper Size" for the rest.
QString FallbackPaperName(int code);

// The printer's own names when it has exactly one for every code, else names from the
// table, one per code, in order.
QStringList PaperNamesFor(const QList<int>& codes, const QStringList& printerNames);

} // namespace pw::print
