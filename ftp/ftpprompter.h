#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Every message box and question of the FTP windows goes through one of
// these, so a test answers them instead of blocking on a modal window.
class FtpPrompter {
public:
    enum class Icon { None, Information, Error };

    virtual ~FtpPrompter() = default;
    virtual void message(const QString &text, const QString &title, Icon icon) = 0;
    // Yes and No, with the question icon.
    virtual bool question(const QString &text, const QString &title) = 0;
    // OK and Cancel, with the exclamation icon.
    virtual bool okCancel(const QString &text, const QString &title) = 0;
    // A question with buttons of its own, the first one the default and the
    // last one what Esc or closing the box means; the index of the answer
    // (-1 only where no box could be shown).
    virtual int choose(const QString &text, const QString &title, const QStringList &buttons) = 0;
    // The text input dialog (135): the trimmed text, or nothing when cancelled.
    virtual std::optional<QString> askText(
        const QString &prompt, const QString &initial, const QString &title)
        = 0;
};

// The prompter of the running program: message boxes over the active
// window, and CTextInputDialog.
class WidgetFtpPrompter : public FtpPrompter {
public:
    void message(const QString &text, const QString &title, Icon icon) override;
    bool question(const QString &text, const QString &title) override;
    bool okCancel(const QString &text, const QString &title) override;
    int choose(const QString &text, const QString &title, const QStringList &buttons) override;
    std::optional<QString> askText(
        const QString &prompt, const QString &initial, const QString &title) override;
};
