#pragma once

#include <QString>
#include <QStringList>

// Every message box and file prompt of Quorel goes through one of these, so
// a test answers them instead of blocking on a modal window.
class Prompter {
public:
    enum class Answer { Yes, No, Cancel };

    virtual ~Prompter() = default;
    virtual void information(const QString &text, const QString &title) = 0;
    virtual bool question(const QString &text, const QString &title) = 0; // Yes/No
    virtual Answer questionYesNoCancel(const QString &text, const QString &title) = 0;
    // Empty when the user cancels.
    virtual QString saveFileName(const QString &proposal, const QString &filter) = 0;
    virtual QString openFileName(const QString &filter) = 0;
    // Index of the chosen item, -1 when cancelled.
    virtual int chooseItem(const QString &title, const QStringList &items) = 0;
};
