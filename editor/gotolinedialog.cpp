#include "editor/gotolinedialog.h"

#include "platform/quorelids.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <climits>
#include <optional>

namespace {

// Digits only: "+5" or " 5" are not what a user who means line 5 types, and
// a sign would let "-3" through as a number to be refused later anyway.
std::optional<int> readNumber(QStringView text)
{
    const QStringView trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    for (QChar c : trimmed) {
        if (!c.isDigit() || c.unicode() > 0x7F)
            return std::nullopt;
    }
    bool ok = false;
    const int value = trimmed.toInt(&ok);
    if (!ok)
        return INT_MAX; // more digits than any text has lines
    return value;
}

QString rangeMessage(int lineCount)
{
    return QStringLiteral("줄 번호는 1부터 %1까지입니다.").arg(lineCount);
}

} // namespace

tl::expected<LineTarget, QString> parseLineTarget(const QString &text, int lineCount)
{
    const QString notANumber = QStringLiteral("줄 번호를 숫자로 입력하십시오. (예: 120 또는 120:5)");
    const QString trimmed = text.trimmed();
    if (trimmed.startsWith(QLatin1Char('-')))
        return tl::make_unexpected(rangeMessage(lineCount));
    const qsizetype colon = trimmed.indexOf(QLatin1Char(':'));
    const std::optional<int> line = readNumber(QStringView(trimmed).left(colon < 0 ? trimmed.size() : colon));
    if (!line)
        return tl::make_unexpected(notANumber);
    if (*line < 1 || *line > lineCount)
        return tl::make_unexpected(rangeMessage(lineCount));
    LineTarget target {*line, 1};
    if (colon >= 0) {
        const QStringView columnText = QStringView(trimmed).mid(colon + 1);
        if (columnText.trimmed().startsWith(QLatin1Char('-')))
            return tl::make_unexpected(QStringLiteral("열 번호는 1부터 셉니다."));
        const std::optional<int> column = readNumber(columnText);
        if (!column)
            return tl::make_unexpected(notANumber);
        if (*column < 1)
            return tl::make_unexpected(QStringLiteral("열 번호는 1부터 셉니다."));
        target.column = *column;
    }
    return target;
}

GoToLineDialog::GoToLineDialog(int lineCount, int currentLine, QWidget *parent)
    : QDialog(parent)
    , m_lineCount(lineCount)
{
    setObjectName(QStringLiteral("goToLineDialog"));
    setProperty("controlId", ids::dialog::kGoToLine);
    setWindowTitle(QStringLiteral("줄 이동"));

    auto *prompt = new QLabel(QStringLiteral("이동할 줄 번호(1 - %1), 또는 줄:열(&L):").arg(lineCount), this);
    m_edit = new QLineEdit(QString::number(currentLine), this);
    m_edit->setObjectName(QStringLiteral("lineEdit"));
    m_edit->selectAll();
    prompt->setBuddy(m_edit);
    m_error = new QLabel(this);
    m_error->setObjectName(QStringLiteral("errorLabel"));
    m_error->setWordWrap(true);
    m_error->setStyleSheet(QStringLiteral("color: #b00020"));
    m_error->setVisible(false);
    // A new attempt clears the old reason, so it never stands beside a
    // number it was not about.
    connect(m_edit, &QLineEdit::textEdited, m_error, [this] { m_error->setVisible(false); });

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttonBox"));
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("이동"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("취소"));
    connect(buttons, &QDialogButtonBox::accepted, this, &GoToLineDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &GoToLineDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addWidget(m_edit);
    layout->addWidget(m_error);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    m_edit->setFocus();
}

void GoToLineDialog::accept()
{
    const auto target = parseLineTarget(m_edit->text(), m_lineCount);
    if (!target) {
        m_error->setText(target.error());
        m_error->setVisible(true);
        m_edit->selectAll();
        m_edit->setFocus();
        return;
    }
    m_target = *target;
    QDialog::accept();
}
