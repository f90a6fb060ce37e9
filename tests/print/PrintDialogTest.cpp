// The print dialog in the real main window: Ctrl+P, the choices, the preview, and real
// output from the PDF printer, rendered back with pdftoppm and measured.
#include "PrintDialogFixture.h"

#include "app/PrintDialogHooks.h"
#include "app/TForm1.h"
#include "print/LengthText.h"
#include "print/PdfOutput.h"
#include "print/PrintLayout.h"
#include "print/TPaperPreview.h"
#include "print/TPrintForm.h"
#include "print/TPrintPreview.h"
#include "print/TPrinters.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace pw;
using pw::test::MessageBoxRecorder;
using pw::test::ProgramFolder;

namespace {

constexpr int kRenderDpi = 100;

// The bounding box of everything that is not white on a rendered page.
QRect InkBox(const QImage& page)
{
    QRect box;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            const QColor c = page.pixelColor(x, y);
            if (c.red() < 200 || c.green() < 200 || c.blue() < 200)
                box |= QRect(x, y, 1, 1);
        }
    return box;
}

void ExpectNear(const QRect& got, const QRect& want, int tolerance, const char* what)
{
    const auto near = [&](int a, int b) { return std::abs(a - b) <= tolerance; };
    EXPECT_TRUE(near(got.left(), want.left()) && near(got.top(), want.top()) &&
                near(got.right(), want.right()) && near(got.bottom(), want.bottom()))
        << what << ": got " << got.x() << "," << got.y() << " " << got.width() << "x" << got.height()
        << ", want " << want.x() << "," << want.y() << " " << want.width() << "x" << want.height();
}

class PrintDialog : public test::PrintDialogFixture {
protected:
    static QImage Render(const QString& pdf)
    {
        QTemporaryDir out;
        const int rc =
            QProcess::execute(QStringLiteral("pdftoppm"),
                              {QStringLiteral("-r"), QString::number(kRenderDpi), QStringLiteral("-png"),
                               QStringLiteral("-singlefile"), pdf, out.path() + "/page"});
        EXPECT_EQ(rc, 0) << "pdftoppm failed on " << pdf.toStdString();
        return QImage(out.path() + "/page.png");
    }

    // The strip's rectangle on the rendered page, from the printer pixels the dialog saw.
    static QRect AtRenderDpi(const QRect& printerRect, int dpi)
    {
        const double f = double(kRenderDpi) / dpi;
        return QRect(
            QPoint(qRound(printerRect.left() * f), qRound(printerRect.top() * f)),
            QPoint(qRound((printerRect.right() + 1) * f) - 1, qRound((printerRect.bottom() + 1) * f) - 1));
    }
};

TEST_F(PrintDialog, FirstOpeningFitsAGifStripOnALandscapePageAndNeverOverwrites)
{
    folder.AddGif("Alpha", "20240105", "red", 900, 300);
    Start("");
    QRect previewInk;
    QRect previewPage;
    QSize page;
    WithDialog(
        [&](print::TPrintForm& d) {
            EXPECT_EQ(d.windowTitle(), "PrintForm");
            EXPECT_TRUE(d.radioLandscape->isChecked());
            EXPECT_TRUE(d.radioFitToPage->isChecked());
            EXPECT_TRUE(d.radioHCentered->isChecked());
            EXPECT_TRUE(d.radioVCentered->isChecked());
            EXPECT_EQ(d.editOwnScale->text(), "100");
            EXPECT_FALSE(d.editOwnScale->isEnabled());
            for (QLineEdit* e : {d.editLeftMargin, d.editRightMargin, d.editTopMargin, d.editBottomMargin,
                                 d.editOwnHPlacement, d.editOwnVPlacement})
                EXPECT_EQ(e->text(), "0.00");
            EXPECT_EQ(d.comboUnit->currentText(), "inches");
            EXPECT_EQ(d.lblHPlaceUnit->text(), "inches from left margin");
            EXPECT_EQ(d.lblVPlaceUnit->text(), "inches from top margin");
            EXPECT_EQ(d.comboPrinters->itemText(d.comboPrinters->count() - 1), "Print to PDF file");
            d.comboPrinters->setCurrentIndex(d.comboPrinters->count() - 1);
            d.comboPrintersChange();
            EXPECT_GT(d.comboPaperSize->count(), 5);

            const QImage sheet = d.PrintPreview1->Sheet().grab().toImage();
            previewPage = d.PrintPreview1->Sheet().PageRect();
            previewInk = InkBox(sheet.copy(previewPage));
            page = QSize(d.Printers().Printer().width(), d.Printers().Printer().height());
            EXPECT_GT(page.width(), page.height());
            d.btnPrint->click();
        },
        true);
    ASSERT_FALSE(dialog->isVisible());
    const QString first = print::PdfFolder() + "/Alpha 2024-01-05.pdf";
    ASSERT_EQ(boxes.Texts(), QStringList({"The strip was printed to the file " + first}));
    ASSERT_EQ(PdfFiles(), QStringList({"Alpha 2024-01-05.pdf"}));

    // A wide strip fills the page's width and sits in the middle of its height.
    const QImage rendered = Render(first);
    ASSERT_FALSE(rendered.isNull());
    const QRect ink = InkBox(rendered);
    const int stripHeight = qRound(rendered.width() * 300.0 / 900.0);
    ExpectNear(ink, QRect(0, (rendered.height() - stripHeight) / 2, rendered.width(), stripHeight), 2, "fit");
    const QColor centre = rendered.pixelColor(ink.center());
    EXPECT_TRUE(centre.red() > 240 && centre.green() < 16 && centre.blue() < 16);
    // The preview showed it at the same place on its sheet.
    const double f = double(previewPage.width()) / rendered.width();
    ExpectNear(
        previewInk,
        QRect(qRound(ink.x() * f), qRound(ink.y() * f), qRound(ink.width() * f), qRound(ink.height() * f)), 2,
        "preview");

    const QString ini = folder.ReadIni();
    for (const char* line : {"Printer=Print to PDF file", "Landscape=1", "Portrait=0", "FitToPage=1",
                             "OwnScale=100", "LeftMargin=0.00", "OffsetFromTopMargin=0.00", "UseInches=1"})
        EXPECT_TRUE(ini.contains(QString::fromLatin1(line))) << line;

    // Printed again: a second file, the first one kept as it was.
    const QByteArray before = [&] {
        QFile f(first);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    boxes.Clear();
    WithDialog([](print::TPrintForm& d) { d.btnPrint->click(); });
    EXPECT_EQ(PdfFiles(), QStringList({"Alpha 2024-01-05 (2).pdf", "Alpha 2024-01-05.pdf"}));
    QFile again(first);
    ASSERT_TRUE(again.open(QIODevice::ReadOnly));
    EXPECT_EQ(again.readAll(), before);
}

TEST_F(PrintDialog, ADaysSecondStripIsPrintedUnderItsOwnName)
{
    folder.AddGif("Alpha", "20240105", "red", 90, 30);
    folder.AddGif("Alpha", "20240105-2", "blue", 90, 30);
    Start("Printer=Print to PDF file\r\n");
    ASSERT_EQ(program->form.CurrentComic()->CurrentStrip->FileName, "Alpha20240105-2.gif");
    WithDialog([](print::TPrintForm& d) { d.btnPrint->click(); });
    EXPECT_EQ(PdfFiles(), QStringList({"Alpha 2024-01-05-2.pdf"}));
}

TEST_F(PrintDialog, OwnScalePlacementAndMarginsInCentimetresOnPortraitWithCommaSeparator)
{
    AddJpeg900x300();
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    Start("Printer=Print to PDF file\r\n");
    const QImage shownBefore = test::Shown(program->form);
    int dpi = 0;
    WithDialog([&](print::TPrintForm& d) {
        d.radioPortrait->click();
        d.radioOwnScale->click();
        EXPECT_TRUE(d.editOwnScale->isEnabled());
        d.radioOwnHPlacement->click();
        d.radioOwnVPlacement->click();
        d.comboUnit->setCurrentIndex(1);
        d.comboUnitChange();
        EXPECT_EQ(d.lblLeftUnit->text(), "cm");
        EXPECT_EQ(d.lblHPlaceUnit->text(), "cm from left margin");
        Type(d.editLeftMargin, "2,54");    // 1 inch
        Type(d.editTopMargin, "5,08");     // 2 inches
        Type(d.editOwnHPlacement, "1,27"); // half an inch
        Type(d.editOwnVPlacement, "0");
        Type(d.editRightMargin, "1");
        dpi = d.Printers().Printer().logicalDpiX();
        // 200 %: the 900 × 300 strip takes 1800 × 600 printer pixels.
        Type(d.editOwnScale, "200");
        d.btnPrint->click();
    });
    ASSERT_EQ(PdfFiles(), QStringList({"Alpha 2024-01-05.pdf"}));
    const QImage rendered = Render(print::PdfFolder() + "/Alpha 2024-01-05.pdf");
    ASSERT_FALSE(rendered.isNull());
    EXPECT_LT(rendered.width(), rendered.height());
    ExpectNear(InkBox(rendered), AtRenderDpi(QRect(dpi * 3 / 2, dpi * 2, 1800, 600), dpi), 2,
               "own placement");
    // The main window still shows the JPEG as it was.
    EXPECT_TRUE(test::SameImage(test::Shown(program->form), shownBefore));

    const QString ini = folder.ReadIni();
    for (const char* line : {"Portrait=1", "Landscape=0", "PrintOwnScale=1", "OwnScale=200",
                             "OwnVPlacement=1", "VCentered=0", "LeftMargin=1,00", "TopMargin=2,00",
                             "RightMargin=0,39", "OffsetFromLeftMargin=0,50", "UseInches=0"})
        EXPECT_TRUE(ini.contains(QString::fromLatin1(line))) << line;

    // Reopened: everything as printed; 1 cm came back as 0.39 inches.
    WithDialog([&](print::TPrintForm& d) {
        EXPECT_TRUE(d.radioPortrait->isChecked());
        EXPECT_TRUE(d.radioOwnScale->isChecked());
        EXPECT_TRUE(d.radioOwnVPlacement->isChecked());
        EXPECT_TRUE(d.editOwnVPlacement->isEnabled());
        EXPECT_EQ(d.comboUnit->currentText(), "cm");
        EXPECT_EQ(d.editRightMargin->text(), "0,99");
        EXPECT_EQ(d.editLeftMargin->text(), "2,54");
        d.btnCancel->click();
    });
}

TEST_F(PrintDialog, NoStripOpensNothing)
{
    Start("", QStringLiteral("Empty"));
    ASSERT_TRUE(test::Shown(program->form).isNull());
    bool opened = false;
    QTimer::singleShot(0, dialog, [&] {
        opened = dialog->isVisible();
        dialog->reject();
    });
    program->form.PrintCurrentStrip2->trigger(); // the strip's pop-up menu
    QTest::qWait(20);
    EXPECT_FALSE(opened);
    EXPECT_EQ(boxes.Texts(), QStringList({"There is no strip to print."}));
    EXPECT_TRUE(PdfFiles().isEmpty());
}

TEST_F(PrintDialog, AFailedPrintEndsTheJobAndLeavesNoFile)
{
    folder.AddGif("Alpha", "20240105", "red", 900, 300);
    Start("Printer=Print to PDF file\r\n");
    WithDialog([&](print::TPrintForm& d) {
        // Leaving an edit with a bad value is refused, and the focus stays.
        Type(d.editLeftMargin, "x");
        QTest::keyClick(d.editLeftMargin, Qt::Key_Tab);
        EXPECT_EQ(boxes.Texts(), QStringList({"Not a valid number"}));
        EXPECT_TRUE(d.editLeftMargin->hasFocus());
        boxes.Clear();

        d.radioOwnScale->click();
        d.editOwnScale->setText("1x");
        d.btnPrint->click();
        EXPECT_EQ(boxes.Texts(), QStringList({"'1x' is not a valid integer value"}));
        EXPECT_TRUE(d.isVisible());
        d.btnCancel->click();
    });
    EXPECT_TRUE(PdfFiles().isEmpty()) << PdfFiles().join(", ").toStdString();
}

TEST_F(PrintDialog, HandEditedSettingsOpenWithSoundValuesAndPrintOnThePage)
{
    folder.AddGif("Alpha", "20240105", "red", 900, 300);
    Start("Printer=No Such Printer\r\nPaperIndex=9999\r\nPortrait=1\r\nLandscape=0\r\nOwnScale=100000\r\n"
          "PrintOwnScale=1\r\nFitToPage=0\r\nOwnHPlacement=1\r\nHCentered=0\r\nLeftMargin=-3\r\n"
          "RightMargin=abc\r\nTopMargin=500\r\nBottomMargin=1e308\r\nOffsetFromLeftMargin=0.5\r\n"
          "UseInches=zz\r\n");
    int dpi = 0;
    WithDialog([&](print::TPrintForm& d) {
        EXPECT_EQ(d.comboPrinters->currentText(), d.Printers().PrinterName());
        EXPECT_GE(d.comboPaperSize->currentIndex(), 0);
        EXPECT_TRUE(d.radioPortrait->isChecked());
        EXPECT_EQ(d.editOwnScale->text(), "100");
        for (QLineEdit* e : {d.editLeftMargin, d.editRightMargin, d.editTopMargin, d.editBottomMargin})
            EXPECT_EQ(e->text(), "0.00");
        EXPECT_EQ(d.editOwnHPlacement->text(), "0.50");
        EXPECT_EQ(d.comboUnit->currentText(), "inches");
        dpi = d.Printers().Printer().logicalDpiX();
        // The largest scale the edit takes: the preview draws it, cut off at the page.
        d.editOwnScale->setText("99999");
        EXPECT_FALSE(d.PrintPreview1->Sheet().grab().isNull());
        d.editOwnScale->setText("100");
        d.comboPrinters->setCurrentIndex(d.comboPrinters->count() - 1);
        d.comboPrintersChange();
        d.btnPrint->click();
    });
    ASSERT_EQ(PdfFiles().size(), 1);
    const QImage rendered = Render(print::PdfFolder() + "/" + PdfFiles().front());
    const QRect ink = InkBox(rendered);
    const QRect want = AtRenderDpi(QRect(dpi / 2, 0, 900, 300), dpi);
    EXPECT_TRUE(rendered.rect().contains(ink));
    EXPECT_NEAR(ink.left(), want.left(), 1);
    EXPECT_NEAR(ink.width(), want.width(), 1);
}

} // namespace

TEST_F(PrintDialog, WithoutItsModulePrintingSaysWhyAndTheWindowGoesOn)
{
    // The hooks the program installs, which open the print module at the first print:
    // there is none beside this test nor in its library folder.
    folder.AddGif("Alpha", "20240105", "red", 900, 300);
    folder.WriteIni("[Comics]\r\nAlpha=1\r\nCurrentComic=Alpha\r\n[Updates]\r\nUpdateProgramStart=0\r\n");
    program = std::make_unique<test::TestProgram>();
    ASSERT_TRUE(program->Start(folder.Options()));
    program->form.SetPrintHooks(std::make_unique<app::PrintDialogHooks>(program->form));
    ASSERT_FALSE(test::Shown(program->form).isNull());
    program->form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&program->form));
    const QString module = QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                           "/../lib/panelwick/modules/panelwick-print.so");
    const QString expected = "Printing is not available: cannot load " + module +
                             ": cannot open shared object file: No such file or directory";
    program->form.PrintCurrentStrip1->trigger();
    EXPECT_EQ(boxes.Texts(), QStringList({expected}));
    // Asked again, it tries again and says so again.
    boxes.Clear();
    QTest::keyClick(&program->form, Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(boxes.Texts(), QStringList({expected}));
    EXPECT_TRUE(PdfFiles().isEmpty());
    EXPECT_TRUE(program->form.isVisible());
}
