#include "setupfinish/setupshell.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QUrl>

bool DesktopShell::startProgram(const QString &program, const QString &workingDirectory)
{
    return QProcess::startDetached(program, {}, workingDirectory);
}

bool DesktopShell::openDocument(const QString &path)
{
    // xdg-open asks the desktop in use for its viewer of the file's type;
    // Qt's own route is for desktops without it.
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (!opener.isEmpty())
        return QProcess::startDetached(opener, {path});
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void DesktopShell::warning(const QString &text)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("린드바트"), text, QMessageBox::NoButton,
        QApplication::activeWindow());
    box.setObjectName(QStringLiteral("corvaleWarning"));
    // Our own word, whether or not Qt's Korean translation is installed.
    box.addButton(QMessageBox::Ok)->setText(QStringLiteral("확인"));
    box.exec();
}
