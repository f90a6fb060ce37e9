#pragma once

#include <QStringList>
#include <QWidget>

class QPlainTextEdit;

namespace pw::app {

// The hidden debug log: collects the response header lines of updates. Never shown by
// any command.
class TForm2 : public QWidget {
    Q_OBJECT
public:
    // Lines kept; a long run must not grow the log without bound.
    static constexpr int kMaxLines = 10000;

    explicit TForm2(QWidget* parent = nullptr);

    void Append(const QString& line);

    // Made when the window is first shown: a text editor costs about as much to make as
    // the rest of the first screen, and the log is hardly ever looked at.
    QPlainTextEdit* Memo1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Lines collected while hidden: laying each out in the memo as it comes costs more
    // than the update that logs it, so the memo takes them when it is shown.
    QStringList pending_;
};

} // namespace pw::app
