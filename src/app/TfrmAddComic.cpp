#include "app/TfrmAddComic.h"

#include "comics/ComicName.h"
#include "platform/ExceptionGuard.h"
#include "platform/MessageBoxService.h"
#include "sources/AddressJoin.h"
#include "update/TSourceProbe.h"

#include <QBoxLayout>
#include <QFormLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>

namespace pw::app {

namespace {

template <class W> W* Named(W* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

constexpr int kPreviewWidth = 240;
constexpr int kPreviewHeight = 120;

} // namespace

TfrmAddComic::TfrmAddComic(const platform::TIniFile& ini, std::function<bool(const QString&)> nameTaken,
                           AddFunction add, QWidget* parent)
    : QDialog(parent), ini_(ini), nameTaken_(std::move(nameTaken)), add_(std::move(add))
{
    setObjectName(QStringLiteral("frmAddComic"));
    setWindowTitle(QStringLiteral("Add comic"));
    setMinimumWidth(420); // room for a whole address
    auto* column = new QVBoxLayout(this);
    column->addWidget(new QLabel(QStringLiteral("The comic's address (its feed, or its page):"), this));
    auto* addressRow = new QHBoxLayout;
    editAddress = Named(new QLineEdit(this), "editAddress");
    editAddress->setPlaceholderText(QStringLiteral("https://"));
    btnLook = Named(new QPushButton(QStringLiteral("&Look"), this), "btnLook");
    btnLook->setAutoDefault(false);
    addressRow->addWidget(editAddress, 1);
    addressRow->addWidget(btnLook);
    column->addLayout(addressRow);
    progressLooking = Named(new QProgressBar(this), "progressLooking");
    progressLooking->setRange(0, 0); // busy: how long a site takes is not known
    progressLooking->setTextVisible(false);
    progressLooking->hide();
    column->addWidget(progressLooking);
    lblFound = Named(new QLabel(this), "lblFound");
    lblFound->setWordWrap(true);
    column->addWidget(lblFound);
    auto* form = new QFormLayout;
    editName = Named(new QLineEdit(this), "editName");
    editName->setMaxLength(64);
    form->addRow(QStringLiteral("Name:"), editName);
    column->addLayout(form);
    imgPreview = Named(new QLabel(this), "imgPreview");
    imgPreview->setFixedSize(kPreviewWidth, kPreviewHeight);
    imgPreview->setAlignment(Qt::AlignCenter);
    column->addWidget(imgPreview, 0, Qt::AlignHCenter);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    btnOk = Named(new QPushButton(QStringLiteral("&OK"), this), "btnOk");
    btnCancel = Named(new QPushButton(QStringLiteral("Cancel"), this), "btnCancel");
    btnOk->setEnabled(false);
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    column->addLayout(buttons);

    connect(btnLook, &QPushButton::clicked, this, [this] { platform::Guarded([this] { btnLookClick(); }); });
    connect(editAddress, &QLineEdit::returnPressed, this,
            [this] { platform::Guarded([this] { btnLookClick(); }); });
    connect(btnOk, &QPushButton::clicked, this, [this] { platform::Guarded([this] { btnOkClick(); }); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    // A changed address must be looked at again before it can be added.
    connect(editAddress, &QLineEdit::textEdited, this, [this] { btnOk->setEnabled(false); });
}

TfrmAddComic::~TfrmAddComic() = default;

bool TfrmAddComic::Looking() const
{
    return probe_ && !progressLooking->isHidden();
}

void TfrmAddComic::btnLookClick()
{
    const QString address = editAddress->text().trimmed();
    btnOk->setEnabled(false);
    imgPreview->clear();
    imgPreview->setToolTip(QString());
    if (!sources::IsComicAddress(address)) {
        lblFound->setText(
            QStringLiteral("Give an address beginning with http:// or https://, without blanks."));
        return;
    }
    probe_ = std::make_unique<update::TSourceProbe>(ini_);
    probe_->FetchPicture = true;
    probe_->OnDone = [this](update::TSourceProbe&) { platform::Guarded([this] { ProbeDone(); }); };
    foundAddress_.clear();
    lblFound->setText(QStringLiteral("Looking at %1...").arg(address));
    progressLooking->show();
    btnLook->setEnabled(false);
    probe_->Start(address);
}

void TfrmAddComic::ProbeDone()
{
    progressLooking->hide();
    btnLook->setEnabled(true);
    if (!probe_->Found()) {
        lblFound->setText(probe_->Error());
        return;
    }
    const update::TSourceFound& found = probe_->Result();
    foundAddress_ = found.Address.isEmpty() ? editAddress->text().trimmed() : found.Address;
    lblFound->setText(
        QStringLiteral("%1, newest strip %2").arg(found.Kind, found.NewestDay.toString(Qt::ISODate)));
    if (editName->text().trimmed().isEmpty() || editName->text() == proposedName_) {
        proposedName_ = comics::ComicNameFromTitle(found.Title);
        editName->setText(proposedName_);
    }
    const QImage picture = QImage::fromData(probe_->PictureBytes());
    if (!picture.isNull())
        imgPreview->setPixmap(QPixmap::fromImage(
            picture.scaled(kPreviewWidth, kPreviewHeight, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    imgPreview->setToolTip(found.Picture); // which of the page's pictures was taken
    btnOk->setEnabled(true);
}

void TfrmAddComic::btnOkClick()
{
    const QString name = editName->text();
    QString why;
    if (!comics::IsAcceptableComicName(name, &why)) {
        platform::MessageBoxService::Error(
            QStringLiteral("The name \"%1\" cannot be used: %2.").arg(name, why));
        editName->setFocus();
        return;
    }
    if (nameTaken_ && nameTaken_(name)) {
        platform::MessageBoxService::Error(
            QStringLiteral("A comic named \"%1\" is already in the catalogue.").arg(name));
        editName->setFocus();
        return;
    }
    if (!add_(name, foundAddress_, &why)) {
        platform::MessageBoxService::Error(QStringLiteral("Couldn't add %1: %2.").arg(name, why));
        return;
    }
    added_ = name;
    accept();
}

} // namespace pw::app
