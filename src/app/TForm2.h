#pragma once

#include <QWidget>

class QPlainTextEdit;

namespace pw::app {

// The hidden debug log: collects the response header lines of updates. Never shown by
// any command.
class TForm2 : public QWidget {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr);

    void Append(const QString& line);

    QPlainTextEdit* Memo1 = nullptr;
};

} // namespace pw::app
