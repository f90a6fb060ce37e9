#include "app/TForm2.h"

#include "platform/TextEscapes.h"

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
}

void TForm2::Append(const QString& text)
{
    // Header lines come from any server: one log line each, control characters escaped.
    const QString line = platform::ShowableText(text);
    if (isVisible()) {
        Memo1->appendPlainText(line);
        return;
    }
    pending_.append(line);
    if (pending_.size() > kMaxLines)
        pending_.removeFirst();
}

void TForm2::showEvent(QShowEvent* event)
{
    if (!Memo1) {
        Memo1 = new QPlainTextEdit(this);
        Memo1->setObjectName(QStringLiteral("Memo1"));
        Memo1->setReadOnly(true);
        Memo1->setMaximumBlockCount(kMaxLines);
        layout()->addWidget(Memo1);
    }
    if (!pending_.isEmpty()) {
        Memo1->appendPlainText(pending_.join(QLatin1Char('\n')));
        pending_.clear();
    }
    QWidget::showEvent(event);
}

} // namespace pw::app
