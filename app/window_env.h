#pragma once

#include "app/dialogs.h"
#include "platform/paradox/env.h"

// What the window reaches outside itself, handed to it when it is made: the
// modal boxes and the folder dialog, the end of the program, and the disk
// its tables are written to. The program hands it the desktop's; a test
// hands it scripted ones.
class WindowEnv {
public:
    virtual ~WindowEnv() = default;
    virtual Dialogs& dialogs() = 0;
    // Ends the process at once with exit status 0, as every stop of start-up
    // and a missing table column do. Never returns.
    [[noreturn]] virtual void endProgram() = 0;
    // What the window's tables reach the disk through (the disk as it is,
    // unless watched); it outlives the window.
    virtual const paradox::Env& tables() const { return paradox::Env::plain(); }
};

// The desktop's: Qt's dialogs, and the process's own exit.
class DesktopEnv final : public WindowEnv {
public:
    Dialogs& dialogs() override { return dialogs_; }
    [[noreturn]] void endProgram() override;

private:
    QtDialogs dialogs_;
};
