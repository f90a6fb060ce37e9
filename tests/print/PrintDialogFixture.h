#pragma once

#include "../app/AppFixture.h"
#include "MessageBoxRecorder.h"

#include <QStringList>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

class QLineEdit;

namespace pw::print {
class TPrintForm;
}

namespace pw::test {

// The real main window with its print dialog, on a program folder with the comics "Alpha"
// and "Empty"; the PDF printer's folder starts empty.
class PrintDialogFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    void AddJpeg900x300();
    // Starts the program with these [Printing] lines, showing `comic`.
    void Start(const QByteArray& printing, const QString& comic = QStringLiteral("Alpha"));
    // "&Print Current Strip..." (or Ctrl+P); `inside` runs while the dialog is open and
    // closes it; a dialog left open is cancelled so that nothing hangs.
    void WithDialog(const std::function<void(print::TPrintForm&)>& inside, bool byKey = false);
    static void Type(QLineEdit* edit, const QString& text);
    QStringList PdfFiles() const;

    MessageBoxRecorder boxes;
    ProgramFolder folder;
    std::unique_ptr<TestProgram> program;
    print::TPrintForm* dialog = nullptr;
};

} // namespace pw::test
