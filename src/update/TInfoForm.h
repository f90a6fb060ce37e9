#pragma once

#include "update/TAdvancedInfoSystem.h"

#include <QWidget>

class QLabel;
class QListWidget;
class QPushButton;
class QSplitter;
class QTableWidget;

namespace pw::platform {
class TIniFile;
}

namespace pw::update {

// The "Advanced Info" window: the update slots and the result messages of finished
// comics. It mirrors a TAdvancedInfoSystem (owned outside, fed by the scheduler).
class TInfoForm : public QWidget {
    Q_OBJECT
public:
    // Shows the system as it is (its slots and results so far) and follows it from then
    // on: the window is made when it is first needed, while updates may already run.
    TInfoForm(platform::TIniFile& ini, TAdvancedInfoSystem& system, QWidget* parent = nullptr);
    ~TInfoForm() override;

    TAdvancedInfoSystem& AdvancedInfoSystem() { return system_; }
    bool IsShowing() const { return isShowing_; }
    // Shows the window, or closes it when it is showing.
    void Toggle();

    QTableWidget* StringGrid1 = nullptr;
    QListWidget* ListBox1 = nullptr;
    QPushButton* btnClose = nullptr;
    QSplitter* Splitter = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Build();
    void MirrorGrid(int changedRow);
    void MirrorRow(int row);
    void ScrollToLastResult();
    void FitColumns();
    void SaveGeometry();
    void Dress();

    platform::TIniFile& ini_;
    TAdvancedInfoSystem& system_;
    bool isShowing_ = false;
    bool scrollPending_ = false;
    // The bold captions and the header's colour are put on when the window is first shown:
    // a bold font and a style sheet cost memory a window that stays hidden never needs.
    QLabel* resultsCaption_ = nullptr;
    QLabel* updatesCaption_ = nullptr;
    bool dressed_ = false;
};

} // namespace pw::update
