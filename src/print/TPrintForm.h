#pragma once

#include "print/PrintLayout.h"

#include <QDate>
#include <QDialog>
#include <QImage>
#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace pw::platform {
class TIniFile;
}

namespace pw::print {

class TPrinters;
class TPrintPreview;
class TPrintSet;

// What the main window shows: the strip's picture and whose strip of which day it is.
struct TPrintSource {
    QImage Picture;
    QString ComicName;
    QString DateText; // the strip's date in the user's short date format
    QDate Date;
    int Ordinal = 1; // the strip's place in its day
};

// The print dialog: the shown strip on one page, with printer, paper, orientation, scale,
// placement and margins, previewed live. Made once; every showing reloads the choices
// from [Printing], and only "Print" stores them.
class TPrintForm : public QDialog {
    Q_OBJECT
public:
    TPrintForm(platform::TIniFile& ini, std::function<TPrintSource()> source, QWidget* parent = nullptr);
    ~TPrintForm() override;

    void FormShow();
    void UpdatePreview();
    void PrintComic();
    void btnPrintClick();
    void comboUnitChange();
    void comboPrintersChange();
    void comboPaperSizeChange();
    bool EditExit(QLineEdit* edit); // false when the text was refused (message shown)

    TPrinters& Printers() const { return *printers_; }
    TPrintSet& PrintSet() const { return *printSet_; }
    // The held layout; an own scale that is not a whole number throws.
    TPrintLayout Layout() const;

    QPushButton* btnPrint = nullptr;
    QPushButton* btnCancel = nullptr;
    QComboBox* comboPrinters = nullptr;
    QComboBox* comboPaperSize = nullptr;
    QRadioButton* radioFitToPage = nullptr;
    QRadioButton* radioOwnScale = nullptr;
    QLineEdit* editOwnScale = nullptr;
    QRadioButton* radioPortrait = nullptr;
    QRadioButton* radioLandscape = nullptr;
    QRadioButton* radioHCentered = nullptr;
    QRadioButton* radioOwnHPlacement = nullptr;
    QLineEdit* editOwnHPlacement = nullptr;
    QLabel* lblHPlaceUnit = nullptr;
    QRadioButton* radioVCentered = nullptr;
    QRadioButton* radioOwnVPlacement = nullptr;
    QLineEdit* editOwnVPlacement = nullptr;
    QLabel* lblVPlaceUnit = nullptr;
    QLineEdit* editLeftMargin = nullptr;
    QLineEdit* editRightMargin = nullptr;
    QLineEdit* editTopMargin = nullptr;
    QLineEdit* editBottomMargin = nullptr;
    QLabel* lblLeftUnit = nullptr;
    QLabel* lblRightUnit = nullptr;
    QLabel* lblTopUnit = nullptr;
    QLabel* lblBottomUnit = nullptr;
    QComboBox* comboUnit = nullptr;
    TPrintPreview* PrintPreview1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    void ConnectControls();
    void FillPrinters();
    void FillPapers();
    void SetUnitLabels();
    void ShowLengths();
    void LengthChanged(QLineEdit* edit);
    double* LengthOf(QLineEdit* edit);
    void Rebuild(bool honourGuard);
    void RadioClicked(QRadioButton* radio);
    TPageGeometry Page() const;
    bool Centimetres() const;

    platform::TIniFile& ini_;
    std::function<TPrintSource()> source_;
    std::unique_ptr<TPrinters> printers_;
    std::unique_ptr<TPrintSet> printSet_;

    // Lengths in inches, whatever unit is shown, and the three mode flags; the own scale
    // is read from its edit when needed.
    TPrintLayout held_;
    bool updateGuard_ = false; // set only while the dialog is fully set up
    bool checking_ = false;    // a refusal box is up: its focus change is no leaving
};

} // namespace pw::print
