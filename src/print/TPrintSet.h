#pragma once

#include <QList>
#include <QPageSize>
#include <QString>
#include <QStringList>

namespace pw::print {

class TPrinters;

// Paper size and orientation of the selected printer, and its resolution: what the print
// dialog needs to know and set for the next print job. Works on the program's printer
// object and reloads whenever another printer has been selected there.
class TPrintSet {
public:
    explicit TPrintSet(TPrinters& printers);

    // Reloads the paper list and resolution when the selected printer changed.
    void CheckPrinter();
    void LoadDeviceMode();

    // The printer's paper names, one per paper; empty when it reports no papers.
    QStringList GetPaperNames();
    // Position of the printer's current paper in the list; 0 when it is not there.
    int GetPaperIndex() const;
    // Nothing happens when the printer has no papers; an index not below their number
    // raises "Index out of range setting paper.".
    void SetPaperIndex(int index);
    // A paper by its code (Windows paper number); codes Qt does not know change nothing.
    void SetPaperSize(int code);
    // 1 = portrait, 2 = landscape.
    void SetOrientation(int orientation);

    int PixelsPerInchX() const { return dpiX_; }
    int PixelsPerInchY() const { return dpiY_; }
    int PaperCount() const { return static_cast<int>(papers_.size()); }

    // At most this many papers are offered (the list position is kept in one byte).
    static constexpr int MaxPapers = 255;
    // The paper the index names, or nullptr when there are no papers; throws EPrinter
    // when the index is outside the list.
    static const QPageSize* PaperAt(const QList<QPageSize>& papers, int index);
    // The papers the PDF printer offers: the classic paper codes Qt knows.
    static QList<QPageSize> PdfPapers();

private:
    TPrinters& printers_;
    int cachedIndex_ = -99;
    QString cachedName_;
    QList<QPageSize> papers_;
    int dpiX_ = 0;
    int dpiY_ = 0;
};

} // namespace pw::print
