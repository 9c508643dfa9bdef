#pragma once

#include "platform/quorelids.h"

#include "conversionresult.h"

#include <QDialog>

class QCheckBox;
class QPlainTextEdit;

// Dialog 138 "변환 결과": converts the editor's selection once and lets the
// user ask for the result to be written back.
class CConvResultDialog : public QDialog {
    Q_OBJECT
public:
    CConvResultDialog(
        const QString &input, namecodec::Encoding from, namecodec::Encoding to, QWidget *parent = nullptr);

    // True only when the user closed the dialog with "확인" and "문서에 적용"
    // checked, and there is a conversion to apply.
    bool apply() const { return m_apply; }
    const QString &outputText() const { return m_result.output; }
    const QString &displayText() const { return m_result.display; }

private:
    void confirm();

    ConversionResult m_result;
    bool m_apply = false;
    QCheckBox *m_applyBox = nullptr;
    QPlainTextEdit *m_display = nullptr;
};
