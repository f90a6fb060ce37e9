#include "app/TfrmAddComic.h"

#include "comics/ComicName.h"
#include "platform/ExceptionGuard.h"
#include "platform/MessageBoxService.h"
#include "platform/TextEscapes.h"
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

TfrmAddComic::TfrmAddComic(const platform::TIniFile& ini, TComicAdding adding, QWidget* parent)
    : QDialog(parent), ini_(ini), adding_(std::move(adding))
{
    setObjectName(QStringLiteral("frmAddComic"));
    setWindowTitle(QStringLiteral("Add comic"));
    setMinimumWidth(420); // room for a whole address
    auto* column = new QVBoxLayout(this);
    lblHint = Named(
        new QLabel(QStringLiteral("Follow a web comic: give the address of its site or its feed."), this),
        "lblHint");
    column->addWidget(lblHint);
    column->addWidget(new QLabel(QStringLiteral("The comic's address (its feed, or its page):"), this));
    auto* addressRow = new QHBoxLayout;
    editAddress = Named(new QLineEdit(this), "editAddress");
    editAddress->setPlaceholderText(QStringLiteral("example.com or https://example.com/feed"));
    btnLook = Named(new QPushButton(QStringLiteral("&Look"), this), "btnLook");
    addressRow->addWidget(editAddress, 1);
    addressRow->addWidget(btnLook);
    column->addLayout(addressRow);
    progressLooking = Named(new QProgressBar(this), "progressLooking");
    progressLooking->setRange(0, 0); // busy: how long a site takes is not known
    progressLooking->setTextVisible(false);
    progressLooking->hide();
    column->addWidget(progressLooking);
    lblFound = Named(new QLabel(this), "lblFound");
    // What it shows comes from the site (titles, reason phrases): never markup.
    lblFound->setTextFormat(Qt::PlainText);
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
    btnCancel->setAutoDefault(false);
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    column->addLayout(buttons);
    SetAddable(false);

    connect(btnLook, &QPushButton::clicked, this, [this] { platform::Guarded([this] { btnLookClick(); }); });
    connect(btnOk, &QPushButton::clicked, this, [this] { platform::Guarded([this] { btnOkClick(); }); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    // A changed address must be looked at again before it can be added.
    connect(editAddress, &QLineEdit::textEdited, this, [this] { SetAddable(false); });
}

TfrmAddComic::~TfrmAddComic() = default;

bool TfrmAddComic::Looking() const
{
    return probe_ && !progressLooking->isHidden();
}

void TfrmAddComic::SetFound(const QString& text)
{
    lblFound->setText(platform::WrappableText(text));
}

void TfrmAddComic::SetAddable(bool addable)
{
    // Enter does what comes next: look at the address, or, once a comic was found there,
    // add it.
    btnOk->setEnabled(addable);
    (addable ? btnOk : btnLook)->setDefault(true);
}

QString TfrmAddComic::FollowedAs(const QStringList& addresses) const
{
    if (!adding_.FollowedAs)
        return {};
    for (const QString& address : addresses) {
        if (address.isEmpty())
            continue;
        const QString name = adding_.FollowedAs(address);
        if (!name.isEmpty())
            return name;
    }
    return {};
}

void TfrmAddComic::btnLookClick()
{
    const QString typed = editAddress->text().trimmed();
    SetAddable(false);
    foundAddress_.clear();
    imgPreview->clear();
    imgPreview->setToolTip(QString());
    // A name the dialog proposed belongs to the address looked at before.
    if (!proposedName_.isEmpty() && editName->text() == proposedName_)
        editName->clear();
    proposedName_.clear();
    const QStringList candidates = sources::ComicAddressCandidates(typed);
    if (typed.isEmpty() || !sources::IsComicAddress(candidates.first())) {
        SetFound(QStringLiteral("Give the comic's address (example.com, or an address beginning with http:// "
                                "or https://), without blanks."));
        return;
    }
    const QString followed = FollowedAs(candidates);
    if (!followed.isEmpty()) {
        SetFound(QStringLiteral("Already followed as %1").arg(followed));
        return;
    }
    untried_ = candidates;
    Look(untried_.takeFirst());
}

void TfrmAddComic::Look(const QString& address)
{
    probe_ = std::make_unique<update::TSourceProbe>(ini_);
    probe_->FetchPicture = true;
    probe_->OnDone = [this](update::TSourceProbe&) { platform::Guarded([this] { ProbeDone(); }); };
    lookingAt_ = address;
    SetFound(QStringLiteral("Looking at %1...").arg(address));
    progressLooking->show();
    btnLook->setEnabled(false);
    probe_->Start(address);
}

void TfrmAddComic::ProbeDone()
{
    if (!probe_->Found() && !untried_.isEmpty()) {
        Look(untried_.takeFirst()); // no https there: plain http
        return;
    }
    progressLooking->hide();
    btnLook->setEnabled(true);
    if (!probe_->Found()) {
        SetFound(probe_->Error());
        return;
    }
    const update::TSourceFound& found = probe_->Result();
    // The page may lead to a feed that is followed already.
    const QString followed = FollowedAs({probe_->LinkedFeed()});
    if (!followed.isEmpty()) {
        SetFound(QStringLiteral("Already followed as %1").arg(followed));
        return;
    }
    foundAddress_ = found.Address.isEmpty() ? lookingAt_ : found.Address;
    SetFound(QStringLiteral("%1, newest strip %2").arg(found.Kind, found.NewestDay.toString(Qt::ISODate)));
    if (editName->text().trimmed().isEmpty()) {
        const QString title = comics::ComicNameFromTitle(found.Title);
        if (!title.isEmpty()) {
            // Another comic's name, in any letter case, would share its settings: so the
            // proposal becomes "Title (2)".
            proposedName_ = comics::FreeComicName(title, [this](const QString& name) {
                return adding_.NameHolder && !adding_.NameHolder(name).isEmpty();
            });
            editName->setText(proposedName_);
        }
    }
    const QImage picture = QImage::fromData(probe_->PictureBytes());
    if (!picture.isNull())
        imgPreview->setPixmap(QPixmap::fromImage(
            picture.scaled(kPreviewWidth, kPreviewHeight, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    imgPreview->setToolTip(found.Picture); // which of the page's pictures was taken
    SetAddable(true);
}

void TfrmAddComic::btnOkClick()
{
    if (foundAddress_.isEmpty())
        return;
    const QString name = editName->text();
    QString why;
    if (!comics::IsAcceptableComicName(name, &why)) {
        platform::MessageBoxService::Error(
            QStringLiteral("The name \"%1\" cannot be used: %2.").arg(name, why));
        editName->setFocus();
        return;
    }
    const QString holder = adding_.NameHolder ? adding_.NameHolder(name) : QString();
    if (!holder.isEmpty()) {
        platform::MessageBoxService::Error(comics::NameInUseText(holder, name));
        editName->setFocus();
        return;
    }
    if (!adding_.Add || !adding_.Add(name, foundAddress_, &why)) {
        platform::MessageBoxService::Error(QStringLiteral("Couldn't add %1: %2.").arg(name, why));
        return;
    }
    added_ = name;
    accept();
}

} // namespace pw::app
