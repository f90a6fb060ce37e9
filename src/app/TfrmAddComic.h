#pragma once

#include "app/ComicAdding.h"

#include <QDialog>
#include <QStringList>
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

// "Add comic": the user gives an address (a bare domain will do); the dialog looks at it
// (progress while it looks), proposes the site's title as the name, shows the newest
// strip small, and OK (or Enter once the look has found a comic) adds the comic and
// chooses it.
class TfrmAddComic : public QDialog {
    Q_OBJECT
public:
    TfrmAddComic(const platform::TIniFile& ini, TComicAdding adding, QWidget* parent = nullptr);
    ~TfrmAddComic() override;

    void btnLookClick();
    void btnOkClick();
    const QString& AddedName() const { return added_; }
    const QString& AddedAddress() const { return foundAddress_; }
    bool Looking() const;

    QLabel* lblHint = nullptr;
    QLineEdit* editAddress = nullptr;
    QPushButton* btnLook = nullptr;
    QProgressBar* progressLooking = nullptr;
    QLabel* lblFound = nullptr;
    QLineEdit* editName = nullptr;
    QLabel* imgPreview = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;

private:
    void Look(const QString& address);
    void ProbeDone();
    void SetFound(const QString& text);
    void SetAddable(bool addable);
    // The comic already followed at one of these addresses; empty when none.
    QString FollowedAs(const QStringList& addresses) const;

    const platform::TIniFile& ini_;
    TComicAdding adding_;
    std::unique_ptr<update::TSourceProbe> probe_;
    QStringList untried_; // the addresses still to try for what the user typed
    QString lookingAt_;
    QString foundAddress_;
    QString proposedName_; // the name the dialog put in editName, while the user keeps it
    QString added_;
};

} // namespace pw::app
