#pragma once

#include <QString>

// The one seam through which the program talks to the user in modal boxes, so
// that the real window can run headless under tests with scripted answers.
// The window is handed its dialogs (see WindowEnv).
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

// The real ones: Qt's message boxes and folder dialog.
class QtDialogs final : public Dialogs {
public:
    void message(const QString& text) override;
    void error(const QString& text) override;
    QString chooseFolder(const QString& title, const QString& initialFolder) override;
};

// Shows the text of an error in the error box the way the framework does:
// a full stop is added when the last character's code is above that of the
// full stop itself.
void showErrorBox(Dialogs& dialogs, const QString& text);
QString errorBoxText(const QString& text);

inline constexpr const char* applicationTitle = "Tessaly";
