// The print dialog's controls: a bar of buttons and lists along the top, the option
// groups down the left side, the preview in the rest.
#include "print/TPrintForm.h"

#include "print/TPrintPreview.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace pw::print {

namespace {
template <class W> W* Named(W* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QLineEdit* NewEdit(QWidget* parent, const char* name)
{
    auto* edit = Named(new QLineEdit(parent), name);
    edit->setMaxLength(5);
    edit->setFixedWidth(50);
    return edit;
}
} // namespace

void TPrintForm::CreateControls()
{
    setWindowTitle(QStringLiteral("PrintForm"));
    resize(700, 496);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(6, 6, 6, 6);

    auto* bar = new QHBoxLayout;
    btnPrint = Named(new QPushButton(QStringLiteral("Print"), this), "btnPrint");
    btnPrint->setDefault(true);
    btnPrint->setAutoDefault(true);
    btnCancel = Named(new QPushButton(QStringLiteral("Cancel"), this), "btnCancel");
    btnCancel->setAutoDefault(false);
    comboPrinters = Named(new QComboBox(this), "comboPrinters");
    comboPrinters->setMinimumWidth(200);
    comboPaperSize = Named(new QComboBox(this), "comboPaperSize");
    comboPaperSize->setMaxVisibleItems(15);
    comboPaperSize->setMinimumWidth(200);
    bar->addWidget(btnPrint);
    bar->addWidget(btnCancel);
    bar->addSpacing(12);
    bar->addWidget(comboPrinters);
    bar->addWidget(comboPaperSize);
    bar->addStretch(1);
    column->addLayout(bar);

    auto* body = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->setSpacing(4);

    auto* scale = Named(new QGroupBox(QStringLiteral("Scale"), this), "grpScale");
    auto* scaleGrid = new QGridLayout(scale);
    radioFitToPage = Named(new QRadioButton(QStringLiteral("Fit to page"), scale), "radioFitToPage");
    radioOwnScale = Named(new QRadioButton(QStringLiteral("Own scale:"), scale), "radioOwnScale");
    editOwnScale = NewEdit(scale, "editOwnScale");
    scaleGrid->addWidget(radioFitToPage, 0, 0, 1, 3);
    scaleGrid->addWidget(radioOwnScale, 1, 0);
    scaleGrid->addWidget(editOwnScale, 1, 1);
    scaleGrid->addWidget(new QLabel(QStringLiteral("%"), scale), 1, 2);
    left->addWidget(scale);

    auto* orientation = Named(new QGroupBox(QStringLiteral("Orientation"), this), "grpOrientation");
    auto* orientationColumn = new QVBoxLayout(orientation);
    radioPortrait = Named(new QRadioButton(QStringLiteral("Portrait"), orientation), "radioPortrait");
    radioLandscape = Named(new QRadioButton(QStringLiteral("Landscape"), orientation), "radioLandscape");
    orientationColumn->addWidget(radioPortrait);
    orientationColumn->addWidget(radioLandscape);
    left->addWidget(orientation);

    const auto placement = [&](const QString& title, const char* name, QRadioButton*& centred,
                               const char* centredName, QRadioButton*& own, const char* ownName,
                               QLineEdit*& edit, const char* editName, QLabel*& unit, const char* unitName) {
        auto* group = Named(new QGroupBox(title, this), name);
        auto* grid = new QGridLayout(group);
        centred = Named(new QRadioButton(QStringLiteral("Centered"), group), centredName);
        own = Named(new QRadioButton(QStringLiteral("Own placement:"), group), ownName);
        edit = NewEdit(group, editName);
        unit = Named(new QLabel(group), unitName);
        grid->addWidget(centred, 0, 0, 1, 2);
        grid->addWidget(own, 1, 0, 1, 2);
        grid->addWidget(edit, 2, 0);
        grid->addWidget(unit, 2, 1);
        left->addWidget(group);
    };
    placement(QStringLiteral("Horizontal Placement"), "grpHPlacement", radioHCentered, "radioHCentered",
              radioOwnHPlacement, "radioOwnHPlacement", editOwnHPlacement, "editOwnHPlacement", lblHPlaceUnit,
              "lblHPlaceUnit");
    placement(QStringLiteral("Vertical Placement"), "grpVPlacement", radioVCentered, "radioVCentered",
              radioOwnVPlacement, "radioOwnVPlacement", editOwnVPlacement, "editOwnVPlacement", lblVPlaceUnit,
              "lblVPlaceUnit");

    auto* margins = Named(new QGroupBox(QStringLiteral("Margins"), this), "grpMargins");
    auto* marginGrid = new QGridLayout(margins);
    const auto margin = [&](int row, const QString& caption, QLineEdit*& edit, const char* editName,
                            QLabel*& unit, const char* unitName) {
        marginGrid->addWidget(new QLabel(caption, margins), row, 0);
        edit = NewEdit(margins, editName);
        marginGrid->addWidget(edit, row, 1);
        unit = Named(new QLabel(margins), unitName);
        marginGrid->addWidget(unit, row, 2);
    };
    margin(0, QStringLiteral("Left:"), editLeftMargin, "editLeftMargin", lblLeftUnit, "lblLeftUnit");
    margin(1, QStringLiteral("Right:"), editRightMargin, "editRightMargin", lblRightUnit, "lblRightUnit");
    margin(2, QStringLiteral("Top:"), editTopMargin, "editTopMargin", lblTopUnit, "lblTopUnit");
    margin(3, QStringLiteral("Bottom:"), editBottomMargin, "editBottomMargin", lblBottomUnit,
           "lblBottomUnit");
    left->addWidget(margins);

    auto* unitRow = new QHBoxLayout;
    unitRow->addWidget(new QLabel(QStringLiteral("Change unit: "), this));
    comboUnit = Named(new QComboBox(this), "comboUnit");
    comboUnit->addItems({QStringLiteral("inches"), QStringLiteral("cm")});
    unitRow->addWidget(comboUnit);
    unitRow->addStretch(1);
    left->addLayout(unitRow);
    left->addStretch(1);

    body->addLayout(left);
    PrintPreview1 = new TPrintPreview(this);
    PrintPreview1->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    body->addWidget(PrintPreview1, 1);
    column->addLayout(body, 1);

    // The first showing reads its choices from the file; these are what an empty file gives.
    radioLandscape->setChecked(true);
    radioFitToPage->setChecked(true);
    radioHCentered->setChecked(true);
    radioVCentered->setChecked(true);
    editOwnScale->setEnabled(false);
    editOwnHPlacement->setEnabled(false);
    editOwnVPlacement->setEnabled(false);
}

} // namespace pw::print
