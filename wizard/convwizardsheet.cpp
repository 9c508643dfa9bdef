#include "wizard/convwizardsheet.h"

#include "platform/quorelids.h"
#include "wizard/convwizardpage1.h"
#include "wizard/convwizardpage2.h"
#include "wizard/convwizardpage3.h"
#include "wizard/convwizardpage4.h"
#include "wizard/wizardpictures.h"

#include <QAbstractButton>

CConvWizardSheet::CConvWizardSheet(ConvWizardServices services, QWidget *parent)
    : QWizard(parent)
    , m_services(std::move(services))
    , m_page1(new CConvWizardPage1(this))
    , m_page2(new CConvWizardPage2(m_services, this))
    , m_page3(new CConvWizardPage3(m_services, this))
    , m_page4(new CConvWizardPage4(this))
{
    setObjectName(QStringLiteral("convWizardSheet"));
    setWindowTitle(QStringLiteral("변환하기 마법사"));
    // The watermark runs down the side of every page.
    setWizardStyle(QWizard::ClassicStyle);
    setPixmap(QWizard::WatermarkPixmap, wizardPicture(ids::bitmap::kWizardWatermark));
    setOption(QWizard::NoBackButtonOnStartPage);
    setOption(QWizard::HaveHelpButton, false);
    setButtonText(QWizard::BackButton, QStringLiteral("< 뒤로(&B)"));
    setButtonText(QWizard::NextButton, QStringLiteral("다음(&N) >"));
    setButtonText(QWizard::FinishButton, QStringLiteral("마침"));
    setButtonText(QWizard::CancelButton, QStringLiteral("취소"));
    button(QWizard::BackButton)->setObjectName(QStringLiteral("backButton"));
    button(QWizard::NextButton)->setObjectName(QStringLiteral("nextButton"));
    button(QWizard::FinishButton)->setObjectName(QStringLiteral("finishButton"));
    button(QWizard::CancelButton)->setObjectName(QStringLiteral("cancelButton"));
    setPage(kStartPage, m_page1);
    setPage(kOpenPage, m_page2);
    setPage(kConvertPage, m_page3);
    setPage(kSavePage, m_page4);
    setStartId(kStartPage);
    // Page 3 takes a fresh copy of the source whenever it comes up, also
    // when the user comes Back to it from page 4.
    connect(this, &QWizard::currentIdChanged, this, &CConvWizardSheet::onPageChanged);
    setMinimumSize(sizeHint().expandedTo(QSize(600, 420)));
}

CConvWizardSheet::~CConvWizardSheet() = default;

void CConvWizardSheet::setFtpSourceFetcher(FtpSourceFetcher fetch)
{
    m_page2->setFtpSourceFetcher(std::move(fetch));
}

QString CConvWizardSheet::sourcePath() const
{
    return m_page2->sourcePath();
}

int CConvWizardSheet::sourceTemplateId() const
{
    return m_page2->sourceTemplateId();
}

void CConvWizardSheet::onPageChanged(int id)
{
    if (id == kConvertPage)
        m_page3->activate();
}
