#pragma once

#include <deque>
#include <functional>

#include "document/prompter.h"

// Answers the program's questions from a script and records what was asked.
class ScriptedPrompter : public Prompter {
public:
    QStringList messages;
    QStringList questions;
    bool questionAnswer = true;
    std::deque<Answer> yesNoCancelAnswers;
    QStringList saveProposals;
    std::deque<QString> saveNames; // an empty name cancels; none left cancels too
    QString openName;
    QString openFilter;
    QString chooserTitle;
    QStringList chooserItems;
    int choice = -1;

    void information(const QString &text, const QString &) override { messages << text; }
    // Called as each yes/no question is asked, before it is answered.
    std::function<void(const QString &)> onQuestion;

    bool question(const QString &text, const QString &) override
    {
        questions << text;
        if (onQuestion)
            onQuestion(text);
        return questionAnswer;
    }
    Answer questionYesNoCancel(const QString &text, const QString &) override
    {
        questions << text;
        if (yesNoCancelAnswers.empty())
            return Answer::Cancel;
        const Answer a = yesNoCancelAnswers.front();
        yesNoCancelAnswers.pop_front();
        return a;
    }
    QString saveFileName(const QString &proposal, const QString &) override
    {
        saveProposals << proposal;
        if (saveNames.empty())
            return {};
        QString name = saveNames.front();
        saveNames.pop_front();
        return name;
    }
    QString openFileName(const QString &filter) override
    {
        openFilter = filter;
        return openName;
    }
    int chooseItem(const QString &title, const QStringList &items) override
    {
        chooserTitle = title;
        chooserItems = items;
        return choice;
    }
};
