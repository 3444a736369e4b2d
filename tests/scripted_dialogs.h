#pragma once

#include "app/dialogs.h"

#include <QString>
#include <QStringList>
#include <deque>

// Dialogs for headless tests: records what the program shows and answers the
// folder dialog from a script.
class ScriptedDialogs : public Dialogs {
public:
    ScriptedDialogs() : previous_(setDialogs(this)) {}
    ~ScriptedDialogs() override { setDialogs(previous_); }

    void message(const QString& text) override { messages << text; }
    void error(const QString& text) override { errors << text; }
    QString chooseFolder(const QString& title, const QString& initialFolder) override
    {
        folderTitles << title;
        folderInitial << initialFolder;
        if (folderAnswers.empty())
            return {};
        const QString answer = folderAnswers.front();
        folderAnswers.pop_front();
        return answer;
    }

    QStringList messages;
    QStringList errors;
    QStringList folderTitles;
    QStringList folderInitial;
    std::deque<QString> folderAnswers;

private:
    Dialogs* previous_;
};
