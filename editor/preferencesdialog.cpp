#include "editor/preferencesdialog.h"

#include "platform/quorelids.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFontComboBox>
#include <QFontInfo>
#include <QFormLayout>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

CPreferencesDialog::CPreferencesDialog(const EditorLook &look, QWidget *parent)
    : QDialog(parent)
    , m_initial(look)
{
    setObjectName(QStringLiteral("dialog%1").arg(ids::dialog::kPreferences));
    setWindowTitle(QStringLiteral("환경 설정"));

    m_family = new QFontComboBox(this);
    m_family->setObjectName(QStringLiteral("fontFamily"));
    m_family->setEditable(false);
    // The family the views really show, which the built-in choice leaves to
    // what is installed.
    QFont shown = look.font();
    shown.setFamily(QFontInfo(look.font()).family());
    m_family->setCurrentFont(shown);

    m_size = new QSpinBox(this);
    m_size->setObjectName(QStringLiteral("fontSize"));
    m_size->setRange(EditorLook::kMinPixels, EditorLook::kMaxPixels);
    m_size->setSuffix(QStringLiteral(" 픽셀"));
    m_size->setValue(look.fontPixels);

    m_tabWidth = new QSpinBox(this);
    m_tabWidth->setObjectName(QStringLiteral("tabWidth"));
    m_tabWidth->setRange(1, 16);
    m_tabWidth->setSuffix(QStringLiteral(" 칸"));
    m_tabWidth->setValue(look.tabWidth);

    m_lineNumbers = new QCheckBox(QStringLiteral("줄 번호 보기(&L)"), this);
    m_lineNumbers->setObjectName(QStringLiteral("lineNumbers"));
    m_lineNumbers->setChecked(look.lineNumbers);

    m_bumpSoaSerial = new QCheckBox(QStringLiteral("저장할 때 SOA 일련번호 올리기"), this);
    m_bumpSoaSerial->setObjectName(QStringLiteral("bumpSoaSerial"));
    m_bumpSoaSerial->setToolTip(QStringLiteral(
        "바뀐 존파일을 저장할 때 SOA 일련번호를 올립니다. YYYYMMDDnn 형식은 오늘 날짜로 이어 갑니다."));

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("글꼴(&F):"), m_family);
    form->addRow(QStringLiteral("글꼴 크기(&S):"), m_size);
    form->addRow(QStringLiteral("탭 간격(&T):"), m_tabWidth);
    form->addRow(m_lineNumbers);
    form->addRow(m_bumpSoaSerial);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("확인"));
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("ok"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("취소"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

EditorLook CPreferencesDialog::look() const
{
    EditorLook look = m_initial;
    const QString family = m_family->currentFont().family();
    // Left alone, the built-in choice stays built in, fallbacks and all.
    if (family != QFontInfo(m_initial.font()).family())
        look.fontFamily = family;
    if (m_size->value() != look.fontPixels) {
        look.fontPixels = m_size->value();
        look.zoom = 0;
    }
    look.tabWidth = m_tabWidth->value();
    look.lineNumbers = m_lineNumbers->isChecked();
    return look;
}

void CPreferencesDialog::setBumpSoaSerial(bool bump)
{
    m_bumpSoaSerial->setChecked(bump);
}

bool CPreferencesDialog::bumpSoaSerial() const
{
    return m_bumpSoaSerial->isChecked();
}
