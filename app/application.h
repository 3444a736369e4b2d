#pragma once

#include "app/dialogs.h"

#include <QApplication>

// The application object. The window handles the errors of its own
// handlers; any other exception that escapes an event handler ends up here
// and is shown in the error box of the dialogs given (Qt's when none are),
// and the program returns to the message loop.
class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv, Dialogs* errorBoxes = nullptr);

    bool notify(QObject* receiver, QEvent* event) override;

private:
    QtDialogs ownDialogs_;
    Dialogs& errorBoxes_;
};
