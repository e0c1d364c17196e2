#pragma once

// One windowed Mossbin per user: the first one listens on a local socket in
// the user's runtime folder, and later starts hand their files to it.

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <QStringList>

class QLocalSocket;

namespace moss {

class SingleInstance : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // $XDG_RUNTIME_DIR/mossbin.socket, else mossbin-UID.socket in the
    // temporary folder.
    static QString socketPath();
    // Sends the paths to the running instance; true when one took them.
    static bool handOver(const QStringList& paths);
    // Becomes the running instance; false when the socket cannot be made.
    bool listen();

signals:
    // Another start asked to open these paths (possibly none) and come forward.
    void filesReceived(const QStringList& paths);

private:
    void receive();
    void readMessage(QLocalSocket& socket);

    QLocalServer server_;
};

} // namespace moss
