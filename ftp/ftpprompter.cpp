#include "ftp/ftpprompter.h"

#include <QApplication>
#include <QMessageBox>

#include "ftp/textinputdialog.h"

namespace {
QWidget *owner()
{
    if (QWidget *modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}
} // namespace

void WidgetFtpPrompter::message(const QString &text, const QString &title, Icon icon)
{
    QMessageBox box(owner());
    box.setWindowTitle(title);
    box.setText(text);
    box.setIcon(icon == Icon::Error     ? QMessageBox::Critical
            : icon == Icon::Information ? QMessageBox::Information
                                        : QMessageBox::NoIcon);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

bool WidgetFtpPrompter::question(const QString &text, const QString &title)
{
    return QMessageBox::question(owner(), title, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes;
}

bool WidgetFtpPrompter::okCancel(const QString &text, const QString &title)
{
    return QMessageBox::warning(
               owner(), title, text, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel)
        == QMessageBox::Ok;
}

std::optional<QString> WidgetFtpPrompter::askText(
    const QString &prompt, const QString &initial, const QString &title)
{
    CTextInputDialog dialog(prompt, initial, title, owner());
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.text();
}
