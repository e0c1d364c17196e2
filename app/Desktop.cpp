#include "Desktop.h"

#include "BrandLogo.h"
#include "platform/FileSystem.h"

#include <QClipboard>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QUrl>

namespace moss::ui {

namespace {

// "file://" and the path's bytes percent-encoded, so that any file name
// survives the trip.
QString fileUri(const QString& path) {
    return QStringLiteral("file://") +
           QString::fromLatin1(fs::encodePath(path).toPercentEncoding("/"));
}

bool showInFileManager(const QString& path) {
    const QString service = QStringLiteral("org.freedesktop.FileManager1");
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface() ||
        !bus.interface()->isServiceRegistered(service).value())
        return false;
    QDBusMessage call =
        QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/FileManager1"),
                                       service, QStringLiteral("ShowItems"));
    call << QStringList{fileUri(path)} << QString();
    return bus.send(call);
}

} // namespace

QString Desktop::brandLogo() const {
    return ui::brandLogo();
}

void Desktop::reveal(const QString& path) const {
    if (!showInFileManager(path))
        QDesktopServices::openUrl(QUrl(fileUri(fs::parentPath(path)), QUrl::StrictMode));
}

void Desktop::copyText(const QString& text) const {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(text);
    if (clipboard->supportsSelection())
        clipboard->setText(text, QClipboard::Selection);
}

} // namespace moss::ui
