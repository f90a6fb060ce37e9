#include "app/TAboutBox.h"

#include "app/NoticePictures.h"

#include <QBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

namespace pw::app {

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("About"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* column = new QVBoxLayout(this);
    auto* head = new QHBoxLayout;
    ProgramIcon = new QLabel(this);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setPixmap(QIcon(QString::fromLatin1(NoticePictures::IconPath())).pixmap(48, 48));
    head->addWidget(ProgramIcon, 0, Qt::AlignTop);
    auto* names = new QVBoxLayout;
    ProductName = new QLabel(QStringLiteral("Panelwick"), this);
    ProductName->setObjectName(QStringLiteral("ProductName"));
    QFont big = ProductName->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.5);
    ProductName->setFont(big);
    Version = new QLabel(QStringLiteral("v1.1"), this);
    Version->setObjectName(QStringLiteral("Version"));
    names->addWidget(ProductName);
    names->addWidget(Version);
    head->addLayout(names, 1);
    column->addLayout(head);

    Credits = new QLabel(QStringLiteral("GIF decoding by giflib, written by Gershon Elber, Eric S. Raymond "
                                        "and the other giflib authors."),
                         this);
    Credits->setObjectName(QStringLiteral("Credits"));
    Credits->setWordWrap(true);
    column->addWidget(Credits);
    Comments = new QLabel(QStringLiteral("All comics are downloaded from the comic web site. This program is "
                                         "not associated with that site in any way."),
                          this);
    Comments->setObjectName(QStringLiteral("Comments"));
    Comments->setWordWrap(true);
    column->addWidget(Comments);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    column->addWidget(OKButton, 0, Qt::AlignHCenter);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    setFixedWidth(320);
}

} // namespace pw::app
