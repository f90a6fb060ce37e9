#pragma once

#include <QDialog>
#include <functional>

class QLineEdit;
class QPushButton;

namespace pw::app {

// "Edit comic": a new name or a new address for a comic of the user's own. Nothing is
// asked of the network; OK only checks the name and address by the rules of adding.
class TfrmEditComic : public QDialog {
    Q_OBJECT
public:
    TfrmEditComic(const QString& name, const QString& address, QWidget* parent = nullptr);

    // Why the name and address cannot be taken (the box's text); empty when they can.
    std::function<QString(const QString& name, const QString& address)> Check;

    void btnOkClick();
    const QString& NewName() const { return name_; }
    const QString& NewAddress() const { return address_; }

    QLineEdit* editName = nullptr;
    QLineEdit* editAddress = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;

private:
    QString name_;
    QString address_;
};

} // namespace pw::app
