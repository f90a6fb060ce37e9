#include "app/QtMessageBoxes.h"

#include <QApplication>
#include <QMessageBox>

namespace pw::app {

void QtMessageBoxes::Show(platform::BoxKind kind, const QString& caption, const QString& text)
{
    QMessageBox::Icon icon = QMessageBox::Information;
    if (kind == platform::BoxKind::Warning)
        icon = QMessageBox::Warning;
    else if (kind == platform::BoxKind::Error)
        icon = QMessageBox::Critical;
    QMessageBox box(icon, caption, text, QMessageBox::Ok, QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText); // names and paths from outside are never markup
    box.exec();
}

bool QtMessageBoxes::Ask(const QString& caption, const QString& text)
{
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No,
                    QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    return box.exec() == QMessageBox::Yes;
}

} // namespace pw::app
