#include "print/PdfOutput.h"

#include <QFileInfo>
#include <QStandardPaths>

namespace pw::print {

QString PdfFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + QStringLiteral("/Panelwick");
}

QString FreePdfPath(const QString& folder, const QString& comicName, QDate date, int ordinal)
{
    QString name = comicName;
    name.replace(QLatin1Char('/'), QLatin1Char('-'));
    QString base = folder + QLatin1Char('/') + name + QLatin1Char(' ') + date.toString(Qt::ISODate);
    if (ordinal > 1)
        base += QLatin1Char('-') + QString::number(ordinal);
    QString path = base + QStringLiteral(".pdf");
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = base + QStringLiteral(" (%1).pdf").arg(n);
    return path;
}

} // namespace pw::print
