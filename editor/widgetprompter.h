#pragma once

#include "document/prompter.h"

#include <QPointer>
#include <QWidget>

// The prompter of the running program: message boxes and file dialogs.
class WidgetPrompter : public Prompter {
public:
    explicit WidgetPrompter(QWidget *parent = nullptr)
        : m_parent(parent)
    {
    }
    void setParent(QWidget *parent) { m_parent = parent; }

    void information(const QString &text, const QString &title) override;
    bool question(const QString &text, const QString &title) override;
    Answer questionYesNoCancel(const QString &text, const QString &title) override;
    QString saveFileName(const QString &proposal, const QString &filter) override;
    QString openFileName(const QString &filter) override;
    QString openFileNameFrom(const QString &filter, const QString &initialPath) override;
    QString saveFileNameReplacing(
        const QString &proposal, const QString &filter, const QString &defaultSuffix) override;
    int chooseItem(const QString &title, const QStringList &items) override;

private:
    QPointer<QWidget> m_parent;
};
