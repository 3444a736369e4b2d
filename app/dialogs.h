#pragma once

#include <QString>

// The one seam through which the program talks to the user in modal boxes, so
// that the real window can run headless under tests with scripted answers.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A message box: no icon, one OK button, the application title.
    virtual void message(const QString& text) = 0;
    // The framework's error box: stop icon, one OK button, the application title.
    virtual void error(const QString& text) = 0;
    // A folder dialog that accepts only folders; empty on cancel.
    virtual QString chooseFolder(const QString& title, const QString& initialFolder) = 0;
};

// The dialogs in use: real Qt dialogs unless a test installed its own.
Dialogs& dialogs();
// Installs d (not owned) and returns the one it replaces; nullptr restores Qt's.
Dialogs* setDialogs(Dialogs* d);

inline constexpr const char* applicationTitle = "Tessaly";
