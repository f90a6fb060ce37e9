// Printing the strip: storing the choices, the print job, and the PDF printer's file.
#include "print/TPrintForm.h"

#include "platform/IniFile.h"
#include "platform/MessageBoxService.h"
#include "print/EPrinter.h"
#include "print/LengthText.h"
#include "print/PdfOutput.h"
#include "print/TPrintSet.h"
#include "print/TPrinters.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPainter>
#include <QRadioButton>
#include <QTemporaryFile>

namespace pw::print {

namespace {
const QString kPrinting = QStringLiteral("Printing");

// The PDF printer writes into a temporary file beside the final one, renamed when the
// page is complete: a failed print leaves no file, and no existing file is replaced.
class PdfTarget {
public:
    PdfTarget(QPrinter& printer, const TPrintSource& source)
    {
        const QString folder = PdfFolder();
        if (!QDir().mkpath(folder))
            throw EPrinter(QStringLiteral("Could not create the folder %1.").arg(folder));
        QTemporaryFile temp(folder + QStringLiteral("/.panelwick-XXXXXX.pdf"));
        temp.setAutoRemove(false);
        if (!temp.open())
            throw EPrinter(QStringLiteral("Could not write to the folder %1.").arg(folder));
        tempPath_ = temp.fileName();
        temp.close();
        comicName_ = source.ComicName;
        date_ = source.Date.isValid() ? source.Date : QDate::currentDate();
        ordinal_ = source.Date.isValid() ? source.Ordinal : 1;
        folder_ = folder;
        printer.setOutputFileName(tempPath_);
    }
    ~PdfTarget()
    {
        if (!tempPath_.isEmpty())
            QFile::remove(tempPath_);
    }
    PdfTarget(const PdfTarget&) = delete;
    PdfTarget& operator=(const PdfTarget&) = delete;

    // Gives the file its name; another file that takes that name meanwhile is kept.
    QString Commit()
    {
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QString path = FreePdfPath(folder_, comicName_, date_, ordinal_);
            if (QFile::rename(tempPath_, path)) {
                tempPath_.clear();
                return path;
            }
        }
        throw EPrinter(QStringLiteral("Could not save the printed strip in %1.").arg(folder_));
    }

private:
    QString tempPath_;
    QString folder_;
    QString comicName_;
    QDate date_;
    int ordinal_ = 1;
};
} // namespace

void TPrintForm::btnPrintClick()
{
    ini_.WriteString(kPrinting, QStringLiteral("Printer"), comboPrinters->currentText());
    ini_.WriteInteger(kPrinting, QStringLiteral("PaperIndex"), comboPaperSize->currentIndex());
    ini_.WriteBool(kPrinting, QStringLiteral("Portrait"), radioPortrait->isChecked());
    ini_.WriteBool(kPrinting, QStringLiteral("Landscape"), radioLandscape->isChecked());
    ini_.WriteString(kPrinting, QStringLiteral("OwnScale"), editOwnScale->text());
    ini_.WriteBool(kPrinting, QStringLiteral("PrintOwnScale"), radioOwnScale->isChecked());
    ini_.WriteBool(kPrinting, QStringLiteral("FitToPage"), radioFitToPage->isChecked());
    ini_.WriteBool(kPrinting, QStringLiteral("OwnHPlacement"), radioOwnHPlacement->isChecked());
    ini_.WriteBool(kPrinting, QStringLiteral("HCentered"), radioHCentered->isChecked());
    ini_.WriteBool(kPrinting, QStringLiteral("OwnVPlacement"), radioOwnVPlacement->isChecked());
    ini_.WriteBool(kPrinting, QStringLiteral("VCentered"), radioVCentered->isChecked());
    ini_.WriteString(kPrinting, QStringLiteral("LeftMargin"), FormatLength(held_.LeftMargin));
    ini_.WriteString(kPrinting, QStringLiteral("RightMargin"), FormatLength(held_.RightMargin));
    ini_.WriteString(kPrinting, QStringLiteral("TopMargin"), FormatLength(held_.TopMargin));
    ini_.WriteString(kPrinting, QStringLiteral("BottomMargin"), FormatLength(held_.BottomMargin));
    ini_.WriteString(kPrinting, QStringLiteral("OffsetFromTopMargin"),
                     FormatLength(held_.OffsetFromTopMargin));
    ini_.WriteString(kPrinting, QStringLiteral("OffsetFromLeftMargin"),
                     FormatLength(held_.OffsetFromLeftMargin));
    ini_.WriteBool(kPrinting, QStringLiteral("UseInches"), comboUnit->currentIndex() == 0);
    PrintComic();
    accept();
}

void TPrintForm::PrintComic()
{
    const TPrintSource source = source_ ? source_() : TPrintSource{};
    // A copy in a plain format; the shown picture is not touched.
    const QImage strip = source.Picture.convertToFormat(QImage::Format_RGB32);
    if (strip.isNull())
        throw EPrinter(QStringLiteral("There is no strip to print."));
    printSet_->SetOrientation(radioPortrait->isChecked() ? 1 : 2);
    QPrinter& printer = printers_->Printer();
    printer.setDocName(QStringLiteral("Panelwick - ") + source.ComicName + QStringLiteral(" - ") +
                       source.DateText);
    std::unique_ptr<PdfTarget> pdf;
    if (printers_->IsPdf())
        pdf = std::make_unique<PdfTarget>(printer, source);

    QPainter canvas;
    if (!canvas.begin(&printer))
        throw EPrinter(QStringLiteral("Printing on %1 could not start.").arg(printers_->PrinterName()));
    try {
        const QRect target = PrintRectangle(Layout(), Page(), strip.size());
        if (target.isEmpty())
            throw EPrinter(QStringLiteral("The strip does not fit between the margins."));
        canvas.drawImage(target, strip);
        if (!canvas.end())
            throw EPrinter(QStringLiteral("Printing on %1 failed.").arg(printers_->PrinterName()));
    } catch (...) {
        // The job ends here, cancelled; the PDF printer's partial file goes with it.
        printer.abort();
        if (canvas.isActive())
            canvas.end();
        throw;
    }
    if (pdf) {
        const QString path = pdf->Commit();
        platform::MessageBoxService::Information(
            QStringLiteral("The strip was printed to the file %1").arg(path));
    }
}

} // namespace pw::print
