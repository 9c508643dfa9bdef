#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <QThread>

#include <deque>
#include <optional>

#include "ftp/ftpprompter.h"

// Answers the FTP windows' questions from a script and records every box.
class ScriptedFtpPrompter : public FtpPrompter {
public:
    struct Box {
        QString text;
        QString title;
        Icon icon;
    };
    std::vector<Box> boxes;
    QStringList questions; // "title: text"
    bool questionAnswer = true;
    bool okCancelAnswer = true;
    std::deque<QString> texts; // answers of the text input; a null string or none left cancels
    QStringList prompts;
    bool askedOffGuiThread = false; // a window from a worker thread is a crash waiting

    void message(const QString &text, const QString &title, Icon icon) override
    {
        boxes.push_back({text, title, icon});
    }
    bool question(const QString &text, const QString &title) override
    {
        questions << title + QStringLiteral(": ") + text;
        if (QThread::currentThread() != QCoreApplication::instance()->thread())
            askedOffGuiThread = true;
        return questionAnswer;
    }
    std::deque<int> choices; // answers of choose(); none left answers -1
    int choose(const QString &text, const QString &title, const QStringList &buttons) override
    {
        questions << title + QStringLiteral(": ") + text + QStringLiteral(" [") + buttons.join(u'|')
                + QStringLiteral("]");
        if (choices.empty())
            return -1;
        const int answer = choices.front();
        choices.pop_front();
        return answer;
    }
    bool okCancel(const QString &text, const QString &title) override
    {
        questions << title + QStringLiteral(": ") + text;
        return okCancelAnswer;
    }
    std::optional<QString> askText(
        const QString &prompt, const QString &initial, const QString &title) override
    {
        prompts << prompt + QStringLiteral("|") + initial + QStringLiteral("|") + title;
        if (texts.empty())
            return std::nullopt;
        const QString answer = texts.front();
        texts.pop_front();
        if (answer.isNull())
            return std::nullopt;
        return std::optional<QString>(answer);
    }
    QStringList texts_() const
    {
        QStringList all;
        for (const Box &b : boxes)
            all << b.title + QStringLiteral(": ") + b.text;
        return all;
    }
};
