#include "editor/widgetprompter.h"

#include "platform/logging.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

// Most boxes Quorel shows tell why something did not happen; they go into
// the log too, so a report of "it said it could not" can be traced.
void WidgetPrompter::information(const QString &text, const QString &title)
{
    qCWarning(lcPrompt).noquote() << "shown:" << oneLine(text);
    QMessageBox::information(m_parent, title, text, QMessageBox::Ok);
}

bool WidgetPrompter::question(const QString &text, const QString &title)
{
    qCDebug(lcPrompt).noquote() << "asked:" << oneLine(text);
    return QMessageBox::question(m_parent, title, text, QMessageBox::Yes | QMessageBox::No)
        == QMessageBox::Yes;
}

Prompter::Answer WidgetPrompter::questionYesNoCancel(const QString &text, const QString &title)
{
    qCDebug(lcPrompt).noquote() << "asked:" << oneLine(text);
    switch (QMessageBox::question(
        m_parent, title, text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

QString WidgetPrompter::saveFileName(const QString &proposal, const QString &filter)
{
    QFileDialog dialog(m_parent, QStringLiteral("다른 이름으로 저장"), QString(),
        filter + QStringLiteral(";;모든 파일  (*)"));
    dialog.setObjectName(QStringLiteral("saveAsDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.selectFile(proposal);
    // A name typed without an extension takes the kind's own ("a" -> "a.zone").
    const QRegularExpressionMatch ext
        = QRegularExpression(QStringLiteral("\\(\\*\\.(\\w+)\\)")).match(filter);
    if (ext.hasMatch())
        dialog.setDefaultSuffix(ext.captured(1));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QString WidgetPrompter::openFileName(const QString &filter)
{
    return openFileNameFrom(filter, QString());
}

QString WidgetPrompter::saveFileNameReplacing(
    const QString &proposal, const QString &filter, const QString &defaultSuffix)
{
    QFileDialog dialog(m_parent, QStringLiteral("다른 이름으로 저장"), QString(), filter);
    dialog.setObjectName(QStringLiteral("saveAsDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setDefaultSuffix(defaultSuffix);
    dialog.selectFile(proposal);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QString WidgetPrompter::openFileNameFrom(const QString &filter, const QString &initialPath)
{
    QFileDialog dialog(m_parent, QStringLiteral("열기"), QString(), filter);
    if (!initialPath.isEmpty())
        dialog.selectFile(initialPath);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    // The first filter is the one to start on, whatever the platform's
    // dialog remembers from last time.
    const QStringList filters = filter.split(QStringLiteral(";;"));
    if (!filters.isEmpty())
        dialog.selectNameFilter(filters.constFirst());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

int WidgetPrompter::chooseItem(const QString &title, const QStringList &items)
{
    QDialog dialog(m_parent);
    dialog.setObjectName(QStringLiteral("newTypeDialog"));
    dialog.setWindowTitle(title);
    auto *list = new QListWidget(&dialog);
    list->setObjectName(QStringLiteral("newTypeList"));
    list->addItems(items);
    list->setCurrentRow(0);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("확인"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("취소"));
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(list);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(list, &QListWidget::itemDoubleClicked, &dialog, &QDialog::accept);
    if (dialog.exec() != QDialog::Accepted)
        return -1;
    return list->currentRow();
}
