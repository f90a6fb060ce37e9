#include "print/TPrinters.h"

#include <QMarginsF>
#include <QPrinterInfo>
#include <algorithm>

namespace pw::print {

// The printers are not asked for here: the dialog is made at program start, and it reads
// them afresh every time it is shown.
TPrinters::TPrinters() : printer_(QPrinter::HighResolution) {}

void TPrinters::Refresh()
{
    const QString selected = index_ >= 0 ? PrinterName() : QPrinterInfo::defaultPrinterName();
    names_ = QPrinterInfo::availablePrinterNames();
    names_.removeAll(PdfPrinterName());
    names_ << PdfPrinterName();
    int found = names_.indexOf(selected);
    if (found < 0)
        found = std::max(0, static_cast<int>(names_.indexOf(QPrinterInfo::defaultPrinterName())));
    index_ = -1;
    SetPrinterIndex(found);
}

void TPrinters::SetPrinterIndex(int index)
{
    if (index < 0 || index >= names_.size())
        return;
    index_ = index;
    if (IsPdf()) {
        printer_.setOutputFormat(QPrinter::PdfFormat);
        // A file has no unprintable border: the whole sheet is the page.
        printer_.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    } else {
        printer_.setOutputFileName(QString()); // a file name would turn the job into a PDF
        printer_.setOutputFormat(QPrinter::NativeFormat);
        printer_.setPrinterName(names_[index]);
    }
}

} // namespace pw::print
