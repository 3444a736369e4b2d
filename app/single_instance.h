#pragma once

#include <QObject>
#include <QString>

class QLocalServer;
class QWidget;

// One copy of the program at a time, per user: the first copy listens on a
// local socket named after its window caption; a later copy asks it to bring
// its window forward.
class SingleInstance : public QObject {
public:
    // Whether a copy listens under that caption; when one does, it has been
    // asked to raise its window.
    static bool askRunningCopyToRaise(const QString& caption);

    // Starts listening for later copies; a stale socket left by a crash is
    // taken over.
    void listen(const QString& caption, QWidget* window);

private:
    QLocalServer* server_ = nullptr;
};

// The socket for a caption: per user (in the user's runtime folder), without
// regard to case.
QString instanceSocketName(const QString& caption);
