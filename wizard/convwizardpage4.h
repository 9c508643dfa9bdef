#pragma once

#include <QWizardPage>

class QLabel;

// Page 4 (dialog 1551), "파일 저장": what the conversion made.
class CConvWizardPage4 : public QWizardPage {
    Q_OBJECT
public:
    explicit CConvWizardPage4(QWidget *parent = nullptr);

    void setResultMessage(const QString &text);
    QString resultMessage() const { return m_strResult; }

private:
    QString m_strResult;
    QLabel *m_resultLabel;
};
