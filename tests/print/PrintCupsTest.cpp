// Printing through a real CUPS scheduler: a private cupsd on a free loopback port with one
// queue whose device is a file. In a process of its own, because the CUPS library reads
// CUPS_SERVER once, at its first use.
#include "CupsServer.h"
#include "PrintDialogFixture.h"
#include "ServerProcess.h"

#include "app/TForm1.h"
#include "comics/TComicInfo.h"
#include "print/TPrintForm.h"
#include "print/TPrinters.h"

#include <QComboBox>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace pw;

namespace {

class PrintCups : public test::PrintDialogFixture {};

TEST_F(PrintCups, AJobReachesTheQueueOnThePrintersDefaultPaper)
{
    test::CupsServer cups;
    if (!cups.Start(QStringLiteral("pwtest")))
        GTEST_SKIP() << "no private CUPS scheduler: " << cups.Error().toStdString();
    qputenv("CUPS_SERVER", cups.Address().toLatin1());

    folder.AddGif("Alpha", "20240105", "red", 900, 300);
    Start("Printer=PWTEST\r\n"); // printer names match without regard to case
    WithDialog([&](print::TPrintForm& d) {
        EXPECT_EQ(d.comboPrinters->currentText(), "pwtest");
        EXPECT_EQ(d.comboPrinters->itemText(d.comboPrinters->count() - 1),
                  print::TPrinters::PdfPrinterName());
        // A raw queue names no papers: the list stays empty and the job takes the default.
        EXPECT_EQ(d.comboPaperSize->count(), 0);
        d.btnPrint->click();
    });
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(boxes.Texts().isEmpty()) << boxes.Texts().join(" | ").toStdString();
    EXPECT_TRUE(PdfFiles().isEmpty());
    const QString title = "Panelwick - Alpha - " + program->form.CurrentComic()->DateText();
    EXPECT_TRUE(test::WaitForFileToContain(cups.PageLogPath(), title.toUtf8(), 10000))
        << "page log: " << test::ReadWholeFile(cups.PageLogPath()).toStdString();
    EXPECT_TRUE(folder.ReadIni().contains("Printer=pwtest"));
}

} // namespace
