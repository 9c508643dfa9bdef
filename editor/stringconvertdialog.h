#pragma once

#include "platform/quorelids.h"

#include "stringconverter.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

// Dialog 103 "개별 문자열 변환". The application keeps one for the whole run,
// so the history of inputs survives between openings.
class CStringConvertDialog : public QDialog {
    Q_OBJECT
public:
    explicit CStringConvertDialog(QWidget *parent = nullptr);

    // Where the label-length refusal goes; a message box unless a test
    // answers it.
    void setMessageHandler(std::function<void(const QString &)> handler);

    const StringConverter &converter() const { return m_converter; }

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

public slots:
    void done(int result) override;

private:
    void convert();
    void outputChoiceClicked();
    void showReason(const QString &reason);

    StringConverter m_converter;
    std::function<void(const QString &)> m_message;
    QComboBox *m_input = nullptr;
    QRadioButton *m_fromEucKr = nullptr;
    QRadioButton *m_fromPunycode = nullptr;
    QCheckBox *m_wantEucKr = nullptr;
    QCheckBox *m_wantPunycode = nullptr;
    QCheckBox *m_wantAll = nullptr;
    QPlainTextEdit *m_eucKrOutput = nullptr;
    QPlainTextEdit *m_punycodeOutput = nullptr;
    QPushButton *m_convert = nullptr;
    QLabel *m_reason = nullptr; // under the outputs, shown only with a reason
};
