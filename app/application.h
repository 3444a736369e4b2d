#pragma once

#include <QApplication>
#include <QString>

#include <functional>

// The application object. Any exception that escapes an event handler ends up
// here and is shown in the error box; the window returns to the message loop.
class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Shows the text of an error the way the framework does.
    static void showException(const QString& text);

    // The step that puts the window right after an error ends what it was
    // doing (see RecoveryAfterError); run once, after the error box.
    void setPendingRecovery(std::function<void()> step) { pendingRecovery_ = std::move(step); }

private:
    std::function<void()> pendingRecovery_;
};

// The error box text: a full stop is added when the last character's code is
// above that of the full stop itself.
QString errorBoxText(const QString& text);
