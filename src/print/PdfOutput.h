#pragma once

#include <QDate>
#include <QString>

namespace pw::print {

// Where the PDF printer puts its files: <Documents>/Panelwick.
QString PdfFolder();

// "<folder>/<comic> <yyyy-mm-dd>.pdf" ("<yyyy-mm-dd>-<ordinal>" for a day's second and later
// strips), or with " (2)", " (3)" … before ".pdf" when that file exists: an existing file
// is never chosen. Slashes in the comic's name become "-".
QString FreePdfPath(const QString& folder, const QString& comicName, QDate date, int ordinal = 1);

} // namespace pw::print
