#include "print/TPrintSet.h"

#include "print/EPrinter.h"
#include "print/PaperNames.h"
#include "print/TPrinters.h"

#include <QPrinterInfo>

namespace pw::print {

TPrintSet::TPrintSet(TPrinters& printers) : printers_(printers) {}

void TPrintSet::CheckPrinter()
{
    // The name too: a refreshed printer list may put another printer at the same index.
    if (printers_.PrinterIndex() != cachedIndex_ || printers_.PrinterName() != cachedName_)
        LoadDeviceMode();
}

QList<QPageSize> TPrintSet::PdfPapers()
{
    QList<QPageSize> papers;
    for (int code = 1; code <= 26; ++code) {
        const QPageSize::PageSizeId id = QPageSize::id(code);
        if (id != QPageSize::Custom && QPageSize::windowsId(id) == code)
            papers << QPageSize(id);
    }
    return papers;
}

void TPrintSet::LoadDeviceMode()
{
    cachedIndex_ = printers_.PrinterIndex();
    cachedName_ = printers_.PrinterName();
    if (printers_.IsPdf())
        papers_ = PdfPapers();
    else
        papers_ = QPrinterInfo::printerInfo(cachedName_).supportedPageSizes();
    if (papers_.size() > MaxPapers)
        papers_.resize(MaxPapers);
    const QPrinter& printer = printers_.Printer();
    dpiX_ = printer.logicalDpiX();
    dpiY_ = printer.logicalDpiY();
}

QStringList TPrintSet::GetPaperNames()
{
    CheckPrinter();
    QList<int> codes;
    QStringList names;
    for (const QPageSize& paper : papers_) {
        codes << paper.windowsId();
        if (!paper.name().isEmpty())
            names << paper.name();
    }
    return PaperNamesFor(codes, names);
}

int TPrintSet::GetPaperIndex() const
{
    const QPageSize current = printers_.Printer().pageLayout().pageSize();
    for (int i = 0; i < papers_.size(); ++i) {
        const QPageSize& paper = papers_[i];
        if (current.id() != QPageSize::Custom ? paper.id() == current.id() : paper.isEquivalentTo(current))
            return i;
    }
    return 0;
}

const QPageSize* TPrintSet::PaperAt(const QList<QPageSize>& papers, int index)
{
    if (papers.isEmpty())
        return nullptr;
    if (index < 0 || index >= papers.size())
        throw EPrinter(QStringLiteral("Index out of range setting paper."));
    return &papers[index];
}

void TPrintSet::SetPaperIndex(int index)
{
    CheckPrinter();
    if (const QPageSize* paper = PaperAt(papers_, index))
        printers_.Printer().setPageSize(*paper);
}

void TPrintSet::SetPaperSize(int code)
{
    CheckPrinter();
    const QPageSize::PageSizeId id = QPageSize::id(code);
    if (id != QPageSize::Custom)
        printers_.Printer().setPageSize(QPageSize(id));
}

void TPrintSet::SetOrientation(int orientation)
{
    CheckPrinter();
    printers_.Printer().setPageOrientation(orientation == 1 ? QPageLayout::Portrait : QPageLayout::Landscape);
}

} // namespace pw::print
