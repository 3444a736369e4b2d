#include "app/single_instance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QWidget>

#include <unistd.h>

QString instanceSocketName(const QString& caption)
{
    QString folder = QFile::decodeName(qgetenv("XDG_RUNTIME_DIR"));
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::tempPath();
    return folder + QStringLiteral("/tessaly-%1-%2").arg(::getuid()).arg(caption.toLower());
}

bool SingleInstance::askRunningCopyToRaise(const QString& caption)
{
    QLocalSocket socket;
    socket.connectToServer(instanceSocketName(caption));
    if (!socket.waitForConnected(1000))
        return false;
    socket.write("raise\n");
    socket.waitForBytesWritten(1000);
    socket.disconnectFromServer();
    return true;
}

void SingleInstance::listen(const QString& caption, QWidget* window)
{
    delete server_;
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    const QString name = instanceSocketName(caption);
    if (!server_->listen(name)) {
        QLocalServer::removeServer(name);
        server_->listen(name);
    }
    connect(server_, &QLocalServer::newConnection, this, [this, window] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            window->showNormal();
            window->raise();
            window->activateWindow();
        }
    });
}
