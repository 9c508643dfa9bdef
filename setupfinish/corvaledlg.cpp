#include "setupfinish/corvaledlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "setupfinish/corvaleids.h"
#include "setupfinish/setupfinisher.h"

const QString CCorvaleDlg::kNotice = QStringLiteral("VANTO · 한글 도메인 관리 도구 린드바트");

namespace {
QLabel *picture(const QString &resource, int bitmapId, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setPixmap(QPixmap(resource));
    label->setProperty("bitmapId", bitmapId);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    label->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return label;
}
} // namespace

CCorvaleDlg::CCorvaleDlg(SetupFinisher &finisher, QWidget *parent)
    : QDialog(parent)
    , m_finisher(finisher)
{
    setObjectName(QStringLiteral("corvaleDialog"));
    setProperty("controlId", corvale::ids::dialog::kSetupFinish);
    setWindowTitle(QStringLiteral("린드바트"));
    setWindowIcon(QIcon(QStringLiteral(":/pictures/quorel.png")));
    // A caption without a system menu: there is no close box, so the
    // dialog ends through "완료" or Esc only.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    auto *banner = picture(QStringLiteral(":/pictures/banner.png"), corvale::ids::bitmap::kBanner, this);
    banner->setObjectName(QStringLiteral("corvaleBanner"));
    auto *badge = picture(QStringLiteral(":/pictures/badge.png"), corvale::ids::bitmap::kBadge, this);
    badge->setObjectName(QStringLiteral("corvaleBadge"));

    auto *heading = new QLabel(QStringLiteral("린드바트 설치를 마쳤습니다."), this);
    heading->setObjectName(QStringLiteral("corvaleHeading"));
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);

    m_readMe = new QCheckBox(QStringLiteral("ReadMe 파일을 읽습니다."), this);
    m_readMe->setObjectName(QStringLiteral("readMeCheck"));
    m_readMe->setProperty("controlId", corvale::ids::control::kReadMe);
    m_readMe->setChecked(m_bReadMe == 1);
    m_runProgram = new QCheckBox(QStringLiteral("린드바트를 실행합니다."), this);
    m_runProgram->setObjectName(QStringLiteral("runProgramCheck"));
    m_runProgram->setProperty("controlId", corvale::ids::control::kRunProgram);
    m_runProgram->setChecked(m_bRunProgram == 1);

    auto *line = new QFrame(this);
    line->setObjectName(QStringLiteral("corvaleLine"));
    line->setProperty("controlId", corvale::ids::control::kLine);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    auto *notice = new QLabel(kNotice, this);
    notice->setObjectName(QStringLiteral("corvaleNotice"));
    notice->setProperty("controlId", corvale::ids::control::kNotice);
    notice->setEnabled(false);

    auto *ok = new QPushButton(QStringLiteral("완료"), this);
    ok->setObjectName(QStringLiteral("corvaleOk"));
    ok->setProperty("controlId", corvale::ids::control::kOk);
    ok->setDefault(true);
    ok->setAutoDefault(true);
    connect(ok, &QPushButton::clicked, this, &CCorvaleDlg::accept);

    auto *choices = new QVBoxLayout;
    choices->setSpacing(12);
    choices->addWidget(heading);
    choices->addSpacing(6);
    choices->addWidget(m_readMe);
    choices->addWidget(m_runProgram);
    choices->addStretch(1);

    auto *top = new QHBoxLayout;
    top->addLayout(choices, 1);
    top->addWidget(badge, 0, Qt::AlignTop);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(notice, 1);
    bottom->addWidget(ok);

    auto *right = new QVBoxLayout;
    right->addLayout(top, 1);
    right->addWidget(line);
    right->addLayout(bottom);

    auto *layout = new QHBoxLayout(this);
    layout->addWidget(banner, 0, Qt::AlignTop);
    layout->addSpacing(8);
    layout->addLayout(right, 1);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    m_runProgram->setFocus();
}

void CCorvaleDlg::accept()
{
    m_bRunProgram = m_runProgram->isChecked() ? 1 : 0;
    m_bReadMe = m_readMe->isChecked() ? 1 : 0;
    m_finisher.finish(m_bRunProgram == 1, m_bReadMe == 1);
    // Whatever could not be started has been told; the setup is over either way.
    QDialog::accept();
}
