#pragma once

#include <QString>
#include <QStringList>

// Every message box and file prompt of Quorel goes through one of these, so
// a test answers them instead of blocking on a modal window. The document
// layer uses it only to ask; what it has to tell goes back to the window as
// a DocumentOutcome.
class Prompter {
public:
    enum class Answer { Yes, No, Cancel };

    virtual ~Prompter() = default;
    virtual void information(const QString &text, const QString &title) = 0;
    virtual bool question(const QString &text, const QString &title) = 0; // Yes/No
    virtual Answer questionYesNoCancel(const QString &text, const QString &title) = 0;
    // Empty when the user cancels.
    virtual QString saveFileName(const QString &proposal, const QString &filter) = 0;
    // The name question, with the reason it is asked told first.
    virtual QString saveFileNameBecause(
        const QString &reason, const QString &title, const QString &proposal, const QString &filter)
    {
        information(reason, title);
        return saveFileName(proposal, filter);
    }
    virtual QString openFileName(const QString &filter) = 0;
    // The open prompt starting at `initialPath` (a file that must exist).
    virtual QString openFileNameFrom(const QString &filter, const QString &initialPath)
    {
        (void)initialPath;
        return openFileName(filter);
    }
    // A save prompt that replaces an existing file without asking; a name
    // typed without an extension gets `defaultSuffix`.
    virtual QString saveFileNameReplacing(
        const QString &proposal, const QString &filter, const QString &defaultSuffix)
    {
        (void)defaultSuffix;
        return saveFileName(proposal, filter);
    }
    // Index of the chosen item, -1 when cancelled.
    virtual int chooseItem(const QString &title, const QStringList &items) = 0;
};
