#pragma once

#include "platform/quorelids.h"

#include "conversionresult.h"

#include <QDialog>

class QCheckBox;
class QPlainTextEdit;
class QTreeWidget;

// Dialog 138 "변환 결과": converts the editor's selection once and lets the
// user ask for the result to be written back.
//
// After a whole-document conversion it lists instead the Hangul hosts left
// inside rules: a double-click (or Enter) on one asks for its line, and
// "복사" puts its ACE form on the clipboard. It is then modeless, so the
// user can go from one rule to the next while mending them.
class CConvResultDialog : public QDialog {
    Q_OBJECT
public:
    CConvResultDialog(
        const QString &input, namecodec::Encoding from, namecodec::Encoding to, QWidget *parent = nullptr);
    explicit CConvResultDialog(const ConversionWarnings &warnings, QWidget *parent = nullptr);

    // The object name of the warnings list's dialog, so that a window keeps
    // only the latest one.
    static QString warningsName();

    // True only when the user closed the dialog with "확인" and "문서에 적용"
    // checked, and there is a conversion to apply.
    bool apply() const { return m_apply; }
    const QString &outputText() const { return m_result.output; }
    const QString &displayText() const { return m_result.display; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    // The user picked a warning: its line (from 1) and column (from 1).
    void lineRequested(int line, int column);

private:
    void confirm();
    QTreeWidget *makeWarningList(const ConversionWarnings &warnings);
    void copyAce();
    QString selectedAce() const;

    ConversionResult m_result;
    bool m_apply = false;
    QCheckBox *m_applyBox = nullptr;
    QPlainTextEdit *m_display = nullptr;
    QTreeWidget *m_warnings = nullptr;
};
