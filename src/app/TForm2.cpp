#include "app/TForm2.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace pw::app {

TForm2::TForm2(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Form2"));
    resize(400, 300);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    // Only collects: a long run must not grow the log without bound.
    Memo1->setMaximumBlockCount(10000);
    layout->addWidget(Memo1);
}

void TForm2::Append(const QString& line)
{
    Memo1->appendPlainText(line);
}

} // namespace pw::app
