#include "PrintDialogFixture.h"

#include "TestPaths.h"
#include "app/PrintDialogHooks.h"
#include "app/TForm1.h"
#include "print/PdfOutput.h"
#include "print/TPrintForm.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QLocale>
#include <QTest>
#include <QTimer>

namespace pw::test {

void PrintDialogFixture::SetUp()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QDir(print::PdfFolder()).removeRecursively();
    folder.WriteCatalogue("Alpha\thttp://x/a/\r\nEmpty\thttp://x/e/\r\n");
}

void PrintDialogFixture::TearDown()
{
    QLocale::setDefault(QLocale::system());
}

void PrintDialogFixture::AddJpeg900x300()
{
    QImage strip(900, 300, QImage::Format_RGB32);
    strip.fill(QColor(0, 0, 200));
    QDir().mkpath(folder.Path() + "Comics/Alpha");
    ASSERT_TRUE(strip.save(folder.Path() + "Comics/Alpha/Alpha20240105.jpg", "JPEG", 95));
}

void PrintDialogFixture::Start(const QByteArray& printing, const QString& comic)
{
    folder.WriteIni("[Comics]\r\nAlpha=1\r\nEmpty=1\r\nCurrentComic=" + comic.toLatin1() +
                    "\r\n[Updates]\r\nUpdateProgramStart=0\r\n[Printing]\r\n" + printing);
    program = std::make_unique<TestProgram>();
    ASSERT_TRUE(program->Start(folder.Options()));
    // The dialog's own code linked in, as the print module has it.
    auto hooks = std::make_unique<app::PrintDialogHooks>(
        program->form,
        [](platform::TIniFile& ini, std::function<print::TPrintSource()> source, QWidget* parent, QString*) {
            return new print::TPrintForm(ini, std::move(source), parent);
        });
    dialog = hooks->Dialog();
    ASSERT_TRUE(dialog);
    program->form.SetPrintHooks(std::move(hooks));
    program->form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&program->form));
}

void PrintDialogFixture::WithDialog(const std::function<void(print::TPrintForm&)>& inside, bool byKey)
{
    bool ran = false;
    QTimer::singleShot(0, dialog, [&] {
        ran = true;
        if (dialog->isVisible()) {
            dialog->activateWindow();
            if (WaitFor([&] { return QApplication::activeWindow() == dialog; }))
                inside(*dialog);
            else
                ADD_FAILURE() << "the print dialog did not become the active window";
        }
        if (dialog->isVisible())
            dialog->reject();
    });
    if (byKey)
        QTest::keyClick(&program->form, Qt::Key_P, Qt::ControlModifier);
    else
        program->form.PrintCurrentStrip1->trigger();
    EXPECT_TRUE(ran) << "the print dialog did not open";
}

void PrintDialogFixture::Type(QLineEdit* edit, const QString& text)
{
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

QStringList PrintDialogFixture::PdfFiles() const
{
    return QDir(print::PdfFolder()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace pw::test
