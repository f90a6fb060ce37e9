#include "app/TfrmEditComic.h"

#include "platform/ExceptionGuard.h"
#include "platform/MessageBoxService.h"
#include "sources/AddressJoin.h"

#include <QBoxLayout>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace pw::app {

TfrmEditComic::TfrmEditComic(const QString& name, const QString& address, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmEditComic"));
    setWindowTitle(QStringLiteral("Edit comic"));
    setMinimumWidth(420);
    auto* column = new QVBoxLayout(this);
    column->addWidget(
        new QLabel(QStringLiteral("Its strips, unread marks and settings follow a new name."), this));
    auto* form = new QFormLayout;
    editName = new QLineEdit(name, this);
    editName->setObjectName(QStringLiteral("editName"));
    editName->setMaxLength(64);
    editAddress = new QLineEdit(address, this);
    editAddress->setObjectName(QStringLiteral("editAddress"));
    form->addRow(QStringLiteral("&Name:"), editName);
    form->addRow(QStringLiteral("A&ddress:"), editAddress);
    column->addLayout(form);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    btnOk = new QPushButton(QStringLiteral("&OK"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setAutoDefault(false);
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    column->addLayout(buttons);
    connect(btnOk, &QPushButton::clicked, this, [this] { platform::Guarded([this] { btnOkClick(); }); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmEditComic::btnOkClick()
{
    const QString name = editName->text();
    // A bare domain means its https address, as when adding.
    const QString address = sources::ComicAddressCandidates(editAddress->text().trimmed()).value(0);
    const QString problem = Check ? Check(name, address) : QString();
    if (!problem.isEmpty()) {
        platform::MessageBoxService::Error(problem);
        return;
    }
    name_ = name;
    address_ = address;
    accept();
}

} // namespace pw::app
