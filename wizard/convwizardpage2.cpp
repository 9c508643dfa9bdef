#include "wizard/convwizardpage2.h"

#include "document/prompter.h"
#include "platform/quorelids.h"
#include "platform/settings.h"
#include "wizard/pageheader.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QRadioButton>
#include <QVBoxLayout>

const int CConvWizardPage2::kTemplateIds[4]
    = {ids::templ::kZone, ids::templ::kReverseZone, ids::templ::kNamedConf, ids::templ::kVirtualHost};

CConvWizardPage2::CConvWizardPage2(const ConvWizardServices &services, QWidget *parent)
    : QWizardPage(parent)
    , m_services(services)
{
    setObjectName(QStringLiteral("wizardPage2"));
    setProperty("controlId", ids::dialog::kWizardOpen);
    setTitle(QStringLiteral("린드바트 변환마법사 - 파일 열기"));
    auto *layout = new QVBoxLayout(this);
    addPageHeader(this, layout,
        QStringLiteral(
            "\n 변환할 파일을 열겠습니다. \n 원본 파일은 EUC-KR 인코딩의 \n 한글 파일이어야 합니다.\n"),
        ids::bitmap::kWizardOpen);

    namespace w = ids::control::wizard;
    auto radio = [this](int id, const QString &name, const QString &text) {
        auto *r = new QRadioButton(text, this);
        r->setObjectName(name);
        r->setProperty("controlId", id);
        return r;
    };
    m_templateRadio = radio(w::kTemplateRadio, QStringLiteral("templateRadio"), QStringLiteral("템플릿"));
    m_localRadio
        = radio(w::kLocalRadio, QStringLiteral("localRadio"), QStringLiteral("Local 저장소에서 열기"));
    m_ftpRadio = radio(w::kFtpRadio, QStringLiteral("ftpRadio"), QStringLiteral("FTP 불러오기"));
    auto *group = new QButtonGroup(this);
    for (QRadioButton *r : {m_templateRadio, m_localRadio, m_ftpRadio})
        group->addButton(r);
    m_templateRadio->setChecked(true);
    // Until the FTP browser supplies a file, that source cannot be chosen.
    m_ftpRadio->setEnabled(false);
    m_ftpRadio->setToolTip(QStringLiteral("FTP 서버에서 받은 파일을 변환합니다."));

    m_templateCombo = new QComboBox(this);
    m_templateCombo->setObjectName(QStringLiteral("templateCombo"));
    m_templateCombo->setProperty("controlId", w::kTemplateCombo);
    // Typing is allowed, but only a listed entry counts.
    m_templateCombo->setEditable(true);
    m_templateCombo->setInsertPolicy(QComboBox::NoInsert);
    m_templateCombo->addItems({QStringLiteral("도메인 존파일"), QStringLiteral("리버스 존파일"),
        QStringLiteral("도메인 conf 파일"), QStringLiteral("가상호스트 conf 파일")});
    m_templateCombo->setCurrentIndex(0);
    connect(m_templateCombo, &QComboBox::activated, this, [this] { m_templateRadio->setChecked(true); });

    auto *sources = new QGridLayout;
    sources->addWidget(m_templateRadio, 0, 0);
    sources->addWidget(m_templateCombo, 0, 1);
    sources->addWidget(m_localRadio, 1, 0, 1, 2);
    sources->addWidget(m_ftpRadio, 2, 0, 1, 2);
    sources->setColumnStretch(1, 1);
    sources->setColumnMinimumWidth(0, 90);
    layout->addLayout(sources);
    layout->addStretch(1);
}

void CConvWizardPage2::setFtpSourceFetcher(CConvWizardSheet::FtpSourceFetcher fetch)
{
    m_ftpFetch = std::move(fetch);
    m_ftpRadio->setEnabled(m_ftpFetch != nullptr);
}

bool CConvWizardPage2::validatePage()
{
    if (m_localRadio->isChecked()) {
        const QString path = m_services.prompter
            ? m_services.prompter->openFileNameFrom(m_services.openFilter, m_strSourcePath)
            : QString();
        if (path.isEmpty())
            return false;
        m_strSourcePath = path;
        m_sourceTemplateId = 0;
        return true;
    }
    if (m_ftpRadio->isChecked()) {
        const QString path = m_ftpFetch ? m_ftpFetch(wizard()) : QString();
        if (path.isEmpty())
            return false;
        m_strSourcePath = path;
        m_sourceTemplateId = 0;
        return true;
    }
    if (m_templateRadio->isChecked()) {
        // The machine-wide value of the chosen kind, else the bundled sample.
        const int index = m_templateCombo->currentIndex();
        if (index >= 0 && index < 4 && m_services.settings) {
            const QString path = m_services.settings->samplePath(kTemplateIds[index]);
            if (!path.isEmpty()) {
                m_strSourcePath = path;
                m_sourceTemplateId = kTemplateIds[index];
            }
        }
        return true;
    }
    return false;
}
