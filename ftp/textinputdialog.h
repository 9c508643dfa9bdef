#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;

// Dialog 135: one prompt line and one edit box of at most 256 bytes; OK
// trims white space from both ends of the text. A title, when given,
// replaces the window title.
class CTextInputDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMaxBytes = 256;

    CTextInputDialog(
        const QString &prompt, const QString &initial, const QString &title, QWidget *parent = nullptr);

    QString text() const { return m_text; }
    QLineEdit *edit() const { return m_edit; }

    void accept() override;

private:
    QLabel *m_prompt;
    QLineEdit *m_edit;
    QString m_text;
};

// Keeps `edit` within `maxBytes` bytes as code page 949 counts them (a
// Hangul syllable counts 2): typing or pasting past the limit is cut off.
void limitEditBytes(QLineEdit *edit, int maxBytes);
// The length of `text` in bytes of code page 949 (characters outside it count 2).
int cp949Length(const QString &text);
