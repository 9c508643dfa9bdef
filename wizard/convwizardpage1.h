#pragma once

#include <QWizardPage>

class QLabel;

// Page 1 (dialog 129), "시작": the introduction over the start picture.
class CConvWizardPage1 : public QWizardPage {
    Q_OBJECT
public:
    explicit CConvWizardPage1(QWidget *parent = nullptr);
    static QString introText();

private:
    QString m_strIntro;
    QLabel *m_introLabel;
};
