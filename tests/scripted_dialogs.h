#pragma once

#include "app/window_env.h"

#include <QString>
#include <QStringList>
#include <deque>

// Dialogs for headless tests: records what the program shows and answers the
// folder dialog from a script.
class ScriptedDialogs : public Dialogs {
public:
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
};

// Thrown where the program would end, so that a test sees it end.
struct ProgramEnded {};

// A window's world for headless tests: scripted dialogs, and an end of the
// program that throws ProgramEnded instead.
class ScriptedEnv final : public WindowEnv {
public:
    Dialogs& dialogs() override { return scripted; }
    [[noreturn]] void endProgram() override { throw ProgramEnded{}; }

    ScriptedDialogs scripted;
};
