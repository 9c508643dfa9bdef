#include "ftp/textinputdialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/quorelids.h"

int cp949Length(const QString &text)
{
    int bytes = 0;
    for (const QChar c : text) {
        if (c.isLowSurrogate())
            continue;
        bytes += c.unicode() < 0x80 ? 1 : 2;
    }
    return bytes;
}

void limitEditBytes(QLineEdit *edit, int maxBytes)
{
    QObject::connect(edit, &QLineEdit::textChanged, edit, [edit, maxBytes](const QString &text) {
        if (cp949Length(text) <= maxBytes)
            return;
        QString cut = text;
        while (!cut.isEmpty() && cp949Length(cut) > maxBytes)
            cut.chop(cut.size() >= 2 && cut.back().isLowSurrogate() ? 2 : 1);
        const int cursor = edit->cursorPosition();
        edit->setText(cut);
        edit->setCursorPosition(std::min(cursor, static_cast<int>(cut.size())));
    });
}

CTextInputDialog::CTextInputDialog(
    const QString &prompt, const QString &initial, const QString &title, QWidget *parent)
    : QDialog(parent)
    , m_prompt(new QLabel(prompt, this))
    , m_edit(new QLineEdit(initial, this))
{
    setObjectName(QStringLiteral("textInputDialog"));
    setProperty("controlId", ids::dialog::kTextInput);
    setWindowTitle(title.isEmpty() ? QStringLiteral("입력") : title);
    m_prompt->setObjectName(QStringLiteral("promptText"));
    m_prompt->setProperty("controlId", ids::control::textInput::kPrompt);
    m_edit->setObjectName(QStringLiteral("textEdit"));
    m_edit->setProperty("controlId", ids::control::textInput::kEdit);
    m_edit->setMinimumWidth(320);
    limitEditBytes(m_edit, kMaxBytes);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("확인"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("취소"));
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_prompt);
    layout->addWidget(m_edit);
    layout->addWidget(buttons);
    m_edit->selectAll();
}

void CTextInputDialog::accept()
{
    m_text = m_edit->text().trimmed();
    QDialog::accept();
}
