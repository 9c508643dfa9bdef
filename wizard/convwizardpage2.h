#pragma once

#include "wizard/convwizardsheet.h"

#include <QWizardPage>

class QComboBox;
class QRadioButton;

// Page 2 (dialog 1553), "파일 열기": where the file to convert comes from.
// Next decides the source path and whether the wizard moves on.
class CConvWizardPage2 : public QWizardPage {
    Q_OBJECT
public:
    explicit CConvWizardPage2(const ConvWizardServices &services, QWidget *parent = nullptr);

    bool validatePage() override;

    QString sourcePath() const { return m_strSourcePath; }
    int sourceTemplateId() const { return m_sourceTemplateId; }
    void setFtpSourceFetcher(CConvWizardSheet::FtpSourceFetcher fetch);

    // The templates of combo box 1031, in its order.
    static const int kTemplateIds[4];

private:
    const ConvWizardServices &m_services;
    QRadioButton *m_templateRadio;
    QRadioButton *m_localRadio;
    QRadioButton *m_ftpRadio;
    QComboBox *m_templateCombo;
    CConvWizardSheet::FtpSourceFetcher m_ftpFetch;
    QString m_strSourcePath;
    int m_sourceTemplateId = 0;
};
