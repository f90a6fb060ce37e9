#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace pw::app {

// The About box: icon, product name, version, credits and the site disclaimer.
class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);

    QLabel* ProgramIcon = nullptr;
    QLabel* ProductName = nullptr;
    QLabel* Version = nullptr;
    QLabel* Credits = nullptr;
    QLabel* Comments = nullptr;
    QPushButton* OKButton = nullptr;
};

} // namespace pw::app
