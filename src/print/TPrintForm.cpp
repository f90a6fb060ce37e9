#include "print/TPrintForm.h"

#include "platform/EditLeaving.h"
#include "platform/Exception.h"
#include "platform/ExceptionGuard.h"
#include "platform/IniFile.h"
#include "platform/MessageBoxService.h"
#include "print/LengthText.h"
#include "print/TPaperPreview.h"
#include "print/TPrintPreview.h"
#include "print/TPrintSet.h"
#include "print/TPrinters.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>

namespace pw::print {

using platform::MessageBoxService;

namespace {
const QString kPrinting = QStringLiteral("Printing");
constexpr int kPreviewDpi = 96; // the preview's own resolution, for its unit conversions

// Widget signals enter our code here: each entry passes the exception guard.
template <class F> auto Guard(F f)
{
    return [f](auto&&...) { platform::Guarded(f); };
}

// A scale the user may keep: a whole number the edit can hold.
bool SoundScale(const QString& text)
{
    const auto v = ParseWholeNumber(text);
    return v && *v >= 1 && *v <= 99999;
}
} // namespace

TPrintForm::TPrintForm(platform::TIniFile& ini, std::function<TPrintSource()> source, QWidget* parent)
    : QDialog(parent), ini_(ini), source_(std::move(source)), printers_(std::make_unique<TPrinters>()),
      printSet_(std::make_unique<TPrintSet>(*printers_))
{
    setObjectName(QStringLiteral("PrintForm"));
    setModal(true);
    CreateControls();
    PrintPreview1->SetPrinter(&printers_->Printer());
    ConnectControls();
}

TPrintForm::~TPrintForm() = default;

void TPrintForm::ConnectControls()
{
    connect(btnPrint, &QPushButton::clicked, this, Guard([this] { btnPrintClick(); }));
    connect(btnCancel, &QPushButton::clicked, this, Guard([this] { reject(); }));
    connect(comboPrinters, &QComboBox::activated, this, Guard([this] { comboPrintersChange(); }));
    connect(comboPaperSize, &QComboBox::activated, this, Guard([this] { comboPaperSizeChange(); }));
    connect(comboUnit, &QComboBox::activated, this, Guard([this] { comboUnitChange(); }));
    // Checking a radio button from the program runs the same handling as a click.
    for (QRadioButton* radio : {radioFitToPage, radioOwnScale, radioPortrait, radioLandscape, radioHCentered,
                                radioOwnHPlacement, radioVCentered, radioOwnVPlacement}) {
        connect(radio, &QRadioButton::toggled, this, [this, radio](bool on) {
            if (on)
                platform::Guarded([&] { RadioClicked(radio); });
        });
    }
    connect(editOwnScale, &QLineEdit::textChanged, this, Guard([this] {
                const auto v = ParseWholeNumber(editOwnScale->text());
                if (v && *v >= 0)
                    Rebuild(false);
            }));
    for (QLineEdit* edit : {editOwnHPlacement, editOwnVPlacement, editLeftMargin, editRightMargin,
                            editTopMargin, editBottomMargin}) {
        connect(edit, &QLineEdit::textChanged, this, Guard([this, edit] { LengthChanged(edit); }));
    }
    for (QLineEdit* edit : {editOwnScale, editOwnHPlacement, editOwnVPlacement, editLeftMargin,
                            editRightMargin, editTopMargin, editBottomMargin})
        edit->installEventFilter(this);
}

void TPrintForm::showEvent(QShowEvent* event)
{
    if (!event->spontaneous())
        platform::Guarded([this] { FormShow(); });
    QDialog::showEvent(event);
}

bool TPrintForm::Centimetres() const
{
    return comboUnit->currentIndex() == 1;
}

void TPrintForm::Rebuild(bool honourGuard)
{
    if (!honourGuard || updateGuard_)
        UpdatePreview();
}

void TPrintForm::RadioClicked(QRadioButton* radio)
{
    if (radio == radioFitToPage) {
        editOwnScale->setEnabled(false);
        held_.FitToPage = true;
        Rebuild(true);
    } else if (radio == radioOwnScale) {
        editOwnScale->setEnabled(true);
        held_.FitToPage = false;
        Rebuild(false);
    } else if (radio == radioPortrait || radio == radioLandscape) {
        PrintPreview1->SetOrientation(radio == radioPortrait ? TPrinterOrientation::Portrait
                                                             : TPrinterOrientation::Landscape);
        Rebuild(false);
    } else if (radio == radioHCentered) {
        editOwnHPlacement->setEnabled(false);
        held_.HCentered = true;
        Rebuild(true);
    } else if (radio == radioOwnHPlacement) {
        editOwnHPlacement->setEnabled(true);
        held_.HCentered = false;
        Rebuild(false);
    } else if (radio == radioVCentered) {
        editOwnVPlacement->setEnabled(false);
        held_.VCentered = true;
        Rebuild(true);
    } else if (radio == radioOwnVPlacement) {
        editOwnVPlacement->setEnabled(true);
        held_.VCentered = false;
        Rebuild(false);
    }
}

double* TPrintForm::LengthOf(QLineEdit* edit)
{
    if (edit == editLeftMargin)
        return &held_.LeftMargin;
    if (edit == editRightMargin)
        return &held_.RightMargin;
    if (edit == editTopMargin)
        return &held_.TopMargin;
    if (edit == editBottomMargin)
        return &held_.BottomMargin;
    if (edit == editOwnHPlacement)
        return &held_.OffsetFromLeftMargin;
    if (edit == editOwnVPlacement)
        return &held_.OffsetFromTopMargin;
    return nullptr;
}

void TPrintForm::LengthChanged(QLineEdit* edit)
{
    const auto v = ParseLength(edit->text());
    if (!v || *v < 0)
        return; // typing goes on; leaving the edit reports it
    *LengthOf(edit) = Centimetres() ? *v / 2.54 : *v;
    Rebuild(true);
}

void TPrintForm::FillPrinters()
{
    printers_->Refresh();
    const QString wanted = ini_.ReadString(kPrinting, QStringLiteral("Printer"), QString());
    const QStringList& names = printers_->Names();
    for (int i = 0; i < names.size(); ++i) {
        if (names[i].compare(wanted, Qt::CaseInsensitive) == 0) {
            printers_->SetPrinterIndex(i);
            break;
        }
    }
    comboPrinters->clear();
    comboPrinters->addItems(names);
    comboPrinters->setCurrentIndex(printers_->PrinterIndex());
}

void TPrintForm::FillPapers()
{
    comboPaperSize->clear();
    comboPaperSize->addItems(printSet_->GetPaperNames());
    comboPaperSize->setCurrentIndex(comboPaperSize->count() > 0 ? printSet_->GetPaperIndex() : -1);
}

void TPrintForm::SetUnitLabels()
{
    const QString unit = comboUnit->currentText();
    lblHPlaceUnit->setText(unit + QStringLiteral(" from left margin"));
    lblVPlaceUnit->setText(unit + QStringLiteral(" from top margin"));
    for (QLabel* label : {lblLeftUnit, lblRightUnit, lblTopUnit, lblBottomUnit})
        label->setText(unit);
}

void TPrintForm::ShowLengths()
{
    const double factor = Centimetres() ? 2.54 : 1.0;
    // Each setText may store its edit's shown value back: take all six values first.
    const double values[] = {held_.LeftMargin,   held_.RightMargin,          held_.TopMargin,
                             held_.BottomMargin, held_.OffsetFromLeftMargin, held_.OffsetFromTopMargin};
    QLineEdit* edits[] = {editLeftMargin,   editRightMargin,   editTopMargin,
                          editBottomMargin, editOwnHPlacement, editOwnVPlacement};
    for (int i = 0; i < 6; ++i)
        edits[i]->setText(FormatLength(values[i] * factor));
}

TPageGeometry TPrintForm::Page() const
{
    const QPrinter& printer = printers_->Printer();
    return {printer.width(), printer.height(), printSet_->PixelsPerInchX(), printSet_->PixelsPerInchY()};
}

void TPrintForm::FormShow()
{
    updateGuard_ = false;
    FillPrinters();

    FillPapers();
    const int paper = ini_.ReadInteger(kPrinting, QStringLiteral("PaperIndex"), printSet_->GetPaperIndex());
    if (paper >= 0 && paper < comboPaperSize->count() && paper <= 255)
        printSet_->SetPaperIndex(paper);
    comboPaperSize->setCurrentIndex(comboPaperSize->count() > 0 ? printSet_->GetPaperIndex() : -1);

    if (ini_.ReadBool(kPrinting, QStringLiteral("Portrait"), false)) {
        radioPortrait->setChecked(true);
        PrintPreview1->SetOrientation(TPrinterOrientation::Portrait);
    }
    if (ini_.ReadBool(kPrinting, QStringLiteral("Landscape"), true)) {
        radioLandscape->setChecked(true);
        PrintPreview1->SetOrientation(TPrinterOrientation::Landscape);
    }

    const QString scale = ini_.ReadString(kPrinting, QStringLiteral("OwnScale"), QStringLiteral("100"));
    editOwnScale->setText(SoundScale(scale) ? scale : QStringLiteral("100"));
    if (ini_.ReadBool(kPrinting, QStringLiteral("PrintOwnScale"), false))
        radioOwnScale->setChecked(true);
    if (ini_.ReadBool(kPrinting, QStringLiteral("FitToPage"), true)) {
        radioFitToPage->setChecked(true);
        editOwnScale->setEnabled(false);
    }

    if (ini_.ReadBool(kPrinting, QStringLiteral("OwnHPlacement"), false))
        radioOwnHPlacement->setChecked(true);
    if (ini_.ReadBool(kPrinting, QStringLiteral("HCentered"), true)) {
        radioHCentered->setChecked(true);
        editOwnHPlacement->setEnabled(false);
    }
    if (ini_.ReadBool(kPrinting, QStringLiteral("OwnVPlacement"), false))
        radioOwnVPlacement->setChecked(true);
    if (ini_.ReadBool(kPrinting, QStringLiteral("VCentered"), true)) {
        radioVCentered->setChecked(true);
        editOwnVPlacement->setEnabled(false);
    }

    // Hand-edited lengths that are no numbers, negative, or more than the page can hold
    // become 0, so that the strip always lands on the page.
    const auto length = [&](const char* key) {
        return ParseLength(ini_.ReadString(kPrinting, QString::fromLatin1(key), QStringLiteral("0")))
            .value_or(0);
    };
    TPrintLayout read = held_;
    read.LeftMargin = length("LeftMargin");
    read.RightMargin = length("RightMargin");
    read.TopMargin = length("TopMargin");
    read.BottomMargin = length("BottomMargin");
    read.OffsetFromLeftMargin = length("OffsetFromLeftMargin");
    read.OffsetFromTopMargin = length("OffsetFromTopMargin");
    printSet_->SetOrientation(PrintPreview1->Orientation() == TPrinterOrientation::Portrait ? 1 : 2);
    const TPageGeometry page = Page();
    if (page.DpiX > 0 && page.DpiY > 0)
        read = SoundLengths(read, double(page.Width) / page.DpiX, double(page.Height) / page.DpiY);
    held_ = read;

    comboUnit->setCurrentIndex(ini_.ReadBool(kPrinting, QStringLiteral("UseInches"), true) ? 0 : 1);
    SetUnitLabels();
    ShowLengths();

    updateGuard_ = true;
    UpdatePreview();
}

TPrintLayout TPrintForm::Layout() const
{
    TPrintLayout layout = held_;
    if (!held_.FitToPage) {
        const auto scale = ParseWholeNumber(editOwnScale->text());
        if (!scale)
            throw platform::Exception(
                QStringLiteral("'%1' is not a valid integer value").arg(editOwnScale->text()));
        layout.OwnScalePercent = *scale;
    }
    return layout;
}

void TPrintForm::UpdatePreview()
{
    // The guard comes back as it was: a rebuild while the dialog is being set up must not
    // let every later step of the set-up rebuild again.
    struct GuardBack {
        bool& guard;
        bool was;
        ~GuardBack() { guard = was; }
    } guardBack{updateGuard_, updateGuard_};
    updateGuard_ = false;

    const QImage picture = source_ ? source_().Picture : QImage();
    TPrintPreview& preview = *PrintPreview1;
    preview.BeginDoc();
    struct DocEnd {
        TPrintPreview& preview;
        ~DocEnd() { preview.EndDoc(); }
    } docEnd{preview};

    printSet_->SetOrientation(preview.Orientation() == TPrinterOrientation::Portrait ? 1 : 2);
    const TPageGeometry page = Page();
    if (page.DpiX <= 0 || page.DpiY <= 0)
        return;
    // The sheet is the printer's page in tenths of a millimetre, and the strip goes where
    // the print will put it, so that the preview shows the page as it will come out.
    preview.SetPaperWidth(MulDiv(page.Width, 254, page.DpiX));
    preview.SetPaperHeight(MulDiv(page.Height, 254, page.DpiY));
    const auto u = [&](double inches, int resolution) {
        return ConvertUnits(static_cast<int>(Rnd(kPreviewDpi * inches)), resolution, TUnits::mmPixel,
                            preview.Units());
    };
    preview.SetMarginLeft(u(held_.LeftMargin, preview.HorizontalResolution()));
    preview.SetMarginRight(u(held_.RightMargin, preview.HorizontalResolution()));
    preview.SetMarginTop(u(held_.TopMargin, preview.VerticalResolution()));
    preview.SetMarginBottom(u(held_.BottomMargin, preview.VerticalResolution()));

    if (picture.isNull())
        return;
    if (held_.FitToPage) {
        // The side that limits the fit is centred by itself.
        if (FitLimitedByWidth(Layout(), page, picture.size()))
            radioHCentered->setChecked(true);
        else
            radioVCentered->setChecked(true);
    }
    const QRect target = PrintRectangle(Layout(), page, picture.size());
    if (target.isEmpty() || !preview.Canvas())
        return;
    const double sx = double(preview.PaperWidth()) / page.Width;
    const double sy = double(preview.PaperHeight()) / page.Height;
    preview.Canvas()->drawImage(
        QRectF(target.x() * sx, target.y() * sy, target.width() * sx, target.height() * sy), picture);
}

void TPrintForm::comboUnitChange()
{
    updateGuard_ = false;
    SetUnitLabels();
    ShowLengths();
    updateGuard_ = true;
}

void TPrintForm::comboPrintersChange()
{
    printers_->SetPrinterIndex(comboPrinters->currentIndex());
    FillPapers();
    UpdatePreview();
}

void TPrintForm::comboPaperSizeChange()
{
    printSet_->SetPaperIndex(comboPaperSize->currentIndex());
    UpdatePreview();
}

bool TPrintForm::EditExit(QLineEdit* edit)
{
    QString problem;
    if (edit == editOwnScale) {
        const auto v = ParseWholeNumber(edit->text());
        if (!v)
            problem = QStringLiteral("Not a valid scale");
        else if (*v <= 0)
            problem = QStringLiteral("Please enter a positive number");
    } else {
        const auto v = ParseLength(edit->text());
        if (!v)
            problem = QStringLiteral("Not a valid number");
        else if (*v < 0)
            problem = QStringLiteral("Please enter a positive number");
    }
    if (problem.isEmpty())
        return true;
    checking_ = true; // the box itself takes the focus away from the edit
    MessageBoxService::Information(problem);
    edit->setFocus(Qt::OtherFocusReason);
    checking_ = false;
    return false;
}

bool TPrintForm::eventFilter(QObject* watched, QEvent* event)
{
    if (!checking_ && platform::LeavesEditField(*event, *this, btnCancel)) {
        if (auto* edit = qobject_cast<QLineEdit*>(watched))
            platform::Guarded([&] { EditExit(edit); });
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace pw::print
