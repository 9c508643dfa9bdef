#include "convresultdialog.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

CConvResultDialog::CConvResultDialog(
    const QString &input, namecodec::Encoding from, namecodec::Encoding to, QWidget *parent)
    : QDialog(parent)
    , m_result(convertSelection(input, from, to))
{
    setObjectName(QStringLiteral("dialog%1").arg(ids::dialog::kConvResult));
    setWindowTitle(QStringLiteral("변환 결과"));

    m_display = new QPlainTextEdit(this);
    m_display->setObjectName(QStringLiteral("control%1").arg(ids::control::convResult::kResultEdit));
    m_display->setReadOnly(true);
    m_display->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_display->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_display->setPlainText(m_result.display);
    m_display->setMinimumSize(
        m_display->fontMetrics().averageCharWidth() * 60, m_display->fontMetrics().lineSpacing() * 5);

    m_applyBox = new QCheckBox(QStringLiteral("문서에 적용"), this);
    m_applyBox->setObjectName(QStringLiteral("control%1").arg(ids::control::convResult::kApplyCheck));
    // Nothing was converted: writing the empty output back would wipe the
    // selection.
    m_applyBox->setEnabled(m_result.applicable);

    auto *ok = new QPushButton(QStringLiteral("확인"), this);
    ok->setObjectName(QStringLiteral("control%1").arg(ids::control::kOk));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &CConvResultDialog::confirm);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_applyBox);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_display, 1);
    layout->addLayout(buttons);
    ok->setFocus();
}

void CConvResultDialog::confirm()
{
    m_apply = m_applyBox->isEnabled() && m_applyBox->isChecked();
    accept();
}
