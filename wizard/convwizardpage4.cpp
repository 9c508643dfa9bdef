#include "wizard/convwizardpage4.h"

#include "platform/quorelids.h"
#include "wizard/pageheader.h"

#include <QLabel>
#include <QVBoxLayout>

CConvWizardPage4::CConvWizardPage4(QWidget *parent)
    : QWizardPage(parent)
{
    setObjectName(QStringLiteral("wizardPage4"));
    setProperty("controlId", ids::dialog::kWizardSave);
    setTitle(QStringLiteral("린드바트 변환마법사 - 파일 저장"));
    auto *layout = new QVBoxLayout(this);
    addPageHeader(this, layout, QStringLiteral("\n변환 마법사 마침\n"), ids::bitmap::kWizardSave);
    m_resultLabel = new QLabel(this);
    m_resultLabel->setObjectName(QStringLiteral("resultText"));
    m_resultLabel->setProperty("controlId", ids::control::wizard::kResultText);
    m_resultLabel->setWordWrap(true);
    m_resultLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_resultLabel);
    layout->addStretch(1);
    setFinalPage(true);
}

void CConvWizardPage4::setResultMessage(const QString &text)
{
    m_strResult = text;
    m_resultLabel->setText(text);
}
