#pragma once

#include "document/textfile.h"
#include "wizard/wizardconversion.h"

#include <QWizardPage>

#include <memory>

class QLabel;
class TextBuffer;
class TextView;
struct ConvWizardServices;

// Page 3 (dialog 1552), "파일 변환": a fresh working copy of the source in
// an editable preview each time the page opens; Next writes an edited
// preview back, asks for the target and converts to Punycode.
class CConvWizardPage3 : public QWizardPage {
    Q_OBJECT
public:
    explicit CConvWizardPage3(const ConvWizardServices &services, QWidget *parent = nullptr);
    ~CConvWizardPage3() override;

    // Every time the page becomes active, also after Back from page 4.
    void activate();
    bool validatePage() override;

    TextView *preview() const { return m_preview; }
    const WorkingCopy &workingCopy() const { return m_copy; }
    QString copySource() const { return m_copy.source(); }
    // The failure shown under the preview, empty when there is none.
    QString failureText() const;

    static QString saveFilter();

private:
    // The result's path from the save prompt, asked until it is usable;
    // empty when the user cancels.
    QString chooseTarget();
    void showFailure(const QString &text);
    // The preview shows `text` from its start; the text it showed before goes.
    void showText(std::unique_ptr<TextBuffer> text);

    const ConvWizardServices &m_services;
    TextView *m_preview;
    std::unique_ptr<TextBuffer> m_text; // the working copy's text the preview shows
    QLabel *m_failure;
    WorkingCopy m_copy;
    DecodedText m_decoded; // the working copy as read: encoding and line ends for writing back
};
