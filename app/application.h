#pragma once

#include <QApplication>
#include <QString>

// The application object. Any exception that escapes an event handler ends up
// here and is shown in the error box; the window returns to the message loop.
class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Shows the text of an error the way the framework does.
    static void showException(const QString& text);
};

// The error box text: a full stop is added when the last character's code is
// above that of the full stop itself.
QString errorBoxText(const QString& text);
