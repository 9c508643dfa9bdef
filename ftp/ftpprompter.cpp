#include "ftp/ftpprompter.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include <initializer_list>
#include <utility>

#include "ftp/textinputdialog.h"
#include "platform/logging.h"

namespace {
QWidget *owner()
{
    if (QWidget *modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}
} // namespace

namespace {
// Our own Korean words on the buttons, whether or not Qt's translation
// could be loaded.
int runBox(QMessageBox::Icon icon, const QString &title, const QString &text,
    std::initializer_list<std::pair<QMessageBox::StandardButton, const char *>> buttons,
    QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(owner());
    box.setWindowTitle(title);
    box.setText(text);
    box.setIcon(icon);
    for (const auto &[which, label] : buttons)
        box.addButton(which)->setText(QString::fromUtf8(label));
    box.setDefaultButton(defaultButton);
    return box.exec();
}
} // namespace

void WidgetFtpPrompter::message(const QString &text, const QString &title, Icon icon)
{
    // An error box also goes into the log, so a failed transfer can be traced.
    if (icon == Icon::Error)
        qCWarning(lcPrompt).noquote() << "shown:" << oneLine(text);
    else
        qCDebug(lcPrompt).noquote() << "shown:" << oneLine(text);
    runBox(icon == Icon::Error          ? QMessageBox::Critical
            : icon == Icon::Information ? QMessageBox::Information
                                        : QMessageBox::NoIcon,
        title, text, {{QMessageBox::Ok, "확인"}}, QMessageBox::Ok);
}

bool WidgetFtpPrompter::question(const QString &text, const QString &title)
{
    return runBox(QMessageBox::Question, title, text, {{QMessageBox::Yes, "예"}, {QMessageBox::No, "아니요"}},
               QMessageBox::No)
        == QMessageBox::Yes;
}

bool WidgetFtpPrompter::okCancel(const QString &text, const QString &title)
{
    return runBox(QMessageBox::Warning, title, text,
               {{QMessageBox::Ok, "확인"}, {QMessageBox::Cancel, "취소"}}, QMessageBox::Cancel)
        == QMessageBox::Ok;
}

int WidgetFtpPrompter::choose(const QString &text, const QString &title, const QStringList &buttons)
{
    qCDebug(lcPrompt).noquote() << "asked:" << oneLine(text);
    QMessageBox box(owner());
    box.setWindowTitle(title);
    box.setText(text);
    box.setIcon(QMessageBox::Question);
    QList<QPushButton *> added;
    for (const QString &label : buttons)
        added << box.addButton(label, added.isEmpty() ? QMessageBox::AcceptRole : QMessageBox::ActionRole);
    if (!added.isEmpty()) {
        box.setDefaultButton(added.front());
        // Esc, and closing the box, answer as the last button does.
        box.setEscapeButton(added.back());
    }
    box.exec();
    const qsizetype index = added.indexOf(static_cast<QPushButton *>(box.clickedButton()));
    return static_cast<int>(index >= 0 ? index : added.size() - 1);
}

std::optional<QString> WidgetFtpPrompter::askText(
    const QString &prompt, const QString &initial, const QString &title)
{
    CTextInputDialog dialog(prompt, initial, title, owner());
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.text();
}
