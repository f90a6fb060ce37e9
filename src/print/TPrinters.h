#pragma once

#include <QPrinter>
#include <QStringList>

namespace pw::print {

// The program's one printer object: the installed printers (from CUPS through Qt) and,
// always last, one PDF printer that writes a file, so that printing works everywhere.
class TPrinters {
public:
    TPrinters();
    TPrinters(const TPrinters&) = delete;
    TPrinters& operator=(const TPrinters&) = delete;

    static QString PdfPrinterName() { return QStringLiteral("Print to PDF file"); }

    QPrinter& Printer() { return printer_; }
    const QPrinter& Printer() const { return printer_; }

    // Reads the installed printers (again); the selected one stays selected where it
    // still exists, else the system's default printer (or the PDF printer) is selected.
    // Until the first call the list is empty and nothing is selected.
    void Refresh();
    const QStringList& Names() const { return names_; }
    int PrinterIndex() const { return index_; }
    QString PrinterName() const { return names_.value(index_); }
    // Selects the printer; an index outside the list selects nothing new.
    void SetPrinterIndex(int index);
    bool IsPdf() const { return index_ == names_.size() - 1; }

private:
    QPrinter printer_;
    QStringList names_;
    int index_ = -1;
};

} // namespace pw::print
