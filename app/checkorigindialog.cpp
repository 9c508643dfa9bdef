#include "app/checkorigindialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CheckOriginDialog::CheckOriginDialog(const QString &fileName, const QString &guess, QWidget *parent)
    : QDialog(parent)
    , m_edit(new QLineEdit(guess, this))
{
    setObjectName(QStringLiteral("checkOriginDialog"));
    setWindowTitle(QStringLiteral("검사"));
    auto *label = new QLabel(QStringLiteral("%1 파일이 담고 있는 존(zone)의 이름을 입력하십시오.\n"
                                            "입력한 이름은 이 파일을 다음에 검사할 때에도 쓰입니다.")
                                 .arg(fileName),
        this);
    label->setWordWrap(true);
    m_edit->setObjectName(QStringLiteral("checkOriginEdit"));
    m_edit->selectAll();
    label->setBuddy(m_edit);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttonBox"));
    m_ok = buttons->button(QDialogButtonBox::Ok);
    m_ok->setText(QStringLiteral("확인"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("취소"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_edit, &QLineEdit::textChanged, this, [this] { m_ok->setEnabled(!origin().isEmpty()); });
    m_ok->setEnabled(!origin().isEmpty());
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_edit);
    layout->addWidget(buttons);
}

QString CheckOriginDialog::origin() const
{
    QString name = m_edit->text().trimmed();
    if (name.size() > 1 && name.endsWith(QLatin1Char('.')))
        name.chop(1);
    return name;
}
