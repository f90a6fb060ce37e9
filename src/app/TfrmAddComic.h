#pragma once

#include <QDialog>
#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace pw::platform {
class TIniFile;
}
namespace pw::update {
class TSourceProbe;
}

namespace pw::app {

// "Add comic": the user gives an address; the dialog looks at it (progress while it
// looks), proposes the site's title as the name, shows the newest strip small, and OK
// adds the comic and chooses it.
class TfrmAddComic : public QDialog {
    Q_OBJECT
public:
    // add: puts the comic into the catalogue; false with *error when it cannot.
    using AddFunction = std::function<bool(const QString& name, const QString& address, QString* error)>;

    TfrmAddComic(const platform::TIniFile& ini, std::function<bool(const QString&)> nameTaken,
                 AddFunction add, QWidget* parent = nullptr);
    ~TfrmAddComic() override;

    void btnLookClick();
    void btnOkClick();
    const QString& AddedName() const { return added_; }
    bool Looking() const;

    QLineEdit* editAddress = nullptr;
    QPushButton* btnLook = nullptr;
    QProgressBar* progressLooking = nullptr;
    QLabel* lblFound = nullptr;
    QLineEdit* editName = nullptr;
    QLabel* imgPreview = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;

private:
    void ProbeDone();

    const platform::TIniFile& ini_;
    std::function<bool(const QString&)> nameTaken_;
    AddFunction add_;
    std::unique_ptr<update::TSourceProbe> probe_;
    QString foundAddress_;
    QString proposedName_; // the name the last look proposed; a name the user typed stays
    QString added_;
};

} // namespace pw::app
