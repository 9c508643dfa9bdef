#include "app/aboutdialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>

#include "app/linkstatic.h"
#include "platform/quorelids.h"

CAboutDialog::CAboutDialog(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("aboutDialog"));
    setProperty("controlId", ids::dialog::kAbout);
    setWindowTitle(QStringLiteral("린드바트 정보"));

    auto *picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("aboutLogo"));
    picture->setProperty("controlId", ids::bitmap::kAboutLogo);
    // The tall picture and the small one that the update notes and the
    // setup finisher show too.
    picture->setPixmap(QPixmap(QStringLiteral(":/pictures/banner.png")));
    auto *picture2 = new QLabel(this);
    picture2->setObjectName(QStringLiteral("aboutPicture"));
    picture2->setProperty("controlId", ids::bitmap::kAboutPicture);
    picture2->setPixmap(QPixmap(QStringLiteral(":/pictures/badge.png")));

    auto *name = new QLabel(QStringLiteral("린드바트"), this);
    QFont big = name->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.4);
    name->setFont(big);
    auto *version = new QLabel(QStringLiteral("버전 0.98b"), this);

    auto *web = new QLineEdit(QString::fromLatin1(kWebAddress), this);
    web->setObjectName(QStringLiteral("aboutWeb"));
    web->setProperty("controlId", ids::control::kAboutWebAddress);
    web->setReadOnly(true);

    m_mailLink = new CLinkStatic(QString::fromLatin1(kMailAddress), this);
    m_mailLink->setObjectName(QStringLiteral("aboutMail"));
    m_mailLink->setProperty("controlId", ids::control::kAboutMailLink);
    // The address becomes a live link, like a hyperlink in a browser.
    m_mailLink->SetNotify(true);
    m_mailLink->SetTextColor(QColor(0, 0, 255));
    m_mailLink->SetUnderline(true);
    m_mailLink->SetLinkCursor(Qt::PointingHandCursor);

    auto *ok = new QPushButton(QStringLiteral("확인"), this);
    ok->setObjectName(QStringLiteral("aboutOk"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto *layout = new QGridLayout(this);
    layout->addWidget(picture, 0, 0, 6, 1, Qt::AlignTop);
    layout->addWidget(name, 0, 1, Qt::AlignBottom);
    layout->addWidget(version, 1, 1, Qt::AlignTop);
    layout->addWidget(picture2, 0, 2, 2, 1, Qt::AlignTop | Qt::AlignRight);
    layout->addWidget(web, 2, 1, 1, 2);
    layout->addWidget(m_mailLink, 3, 1, 1, 2);
    layout->setRowStretch(4, 1);
    layout->addWidget(ok, 5, 2);
    layout->setColumnMinimumWidth(1, 220);
}
