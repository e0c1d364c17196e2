#include "SingleInstance.h"

#include "platform/FileSystem.h"

#include <QDataStream>
#include <QList>
#include <QLocalSocket>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace moss {

namespace {

constexpr int kHandOverTimeoutMs = 3000;

QByteArray encodePaths(const QStringList& paths) {
    QList<QByteArray> encoded;
    for (const QString& path : paths)
        encoded.append(fs::encodePath(path));
    QByteArray message;
    QDataStream stream(&message, QIODevice::WriteOnly);
    stream << encoded;
    return message;
}

} // namespace

QString SingleInstance::socketPath() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.startsWith(u'/'))
        return fs::appending(fs::standardized(runtime), u"mossbin.socket"_s);
    return fs::appending(fs::tempPath(), u"mossbin-%1.socket"_s.arg(::getuid()));
}

bool SingleInstance::handOver(const QStringList& paths) {
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (!socket.waitForConnected(kHandOverTimeoutMs))
        return false;
    socket.write(encodePaths(paths));
    const bool sent = socket.waitForBytesWritten(kHandOverTimeoutMs) || socket.bytesToWrite() == 0;
    socket.disconnectFromServer();
    return sent;
}

bool SingleInstance::listen() {
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    const QString path = socketPath();
    if (!server_.listen(path)) {
        // A socket left behind by a process that ended without closing it.
        QLocalServer::removeServer(path);
        if (!server_.listen(path))
            return false;
    }
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::receive);
    return true;
}

void SingleInstance::receive() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readMessage(*socket); });
        readMessage(*socket);
    }
}

// One message is one list of paths; it may arrive in pieces.
void SingleInstance::readMessage(QLocalSocket& socket) {
    QDataStream stream(&socket);
    stream.startTransaction();
    QList<QByteArray> encoded;
    stream >> encoded;
    if (!stream.commitTransaction())
        return;
    socket.disconnect(this);
    socket.disconnectFromServer();
    QStringList paths;
    for (const QByteArray& path : encoded)
        paths.append(fs::decodePath(path));
    emit filesReceived(paths);
}

} // namespace moss
