#pragma once

// What the window asks of the desktop: file and bundle icons as the file
// browser shows them, and revealing an item in the file browser.

#include <QImage>
#include <QObject>
#include <QQuickImageProvider>
#include <QString>
#include <functional>

namespace moss::ui {

// "image://fileicon/PATH" with PATH percent-encoded: the icon of the item at
// PATH. A bundle shows its own icon (CFBundleIconFile); other items the icon
// theme's icon of their type; anything else a generic document or folder.
class FileIconProvider : public QQuickImageProvider {
public:
    FileIconProvider() : QQuickImageProvider(QQuickImageProvider::Image) {}
    QImage requestImage(const QString& id, QSize* size, const QSize& requestedSize) override;

    // The path that an image id names (percent-decoding; bytes that are not
    // UTF-8 come back as the file-system layer carries them).
    static QString pathFromId(const QString& id);
    // The icon of a path at the given side length; never null.
    static QImage icon(const QString& path, int side);
    // The bundle's own icon; null when it has none that can be read.
    static QImage bundleIcon(const QString& bundlePath, int side);
};

// Exposed to QML as the singleton `Desktop`.
class Desktop : public QObject {
    Q_OBJECT
    // The image URL of the logo; empty when there is none (brandLogo()).
    Q_PROPERTY(QString brandLogo READ brandLogo CONSTANT)

public:
    using Handler = std::function<void(const QString& path)>;

    using QObject::QObject;

    QString brandLogo() const;

    // Shows the item selected in the file browser: the FileManager1 D-Bus
    // service, else the folder that holds it.
    Q_INVOKABLE void reveal(const QString& path) const;

    // Replaces what reveal() does (tests record the path instead); an empty
    // handler restores the file browser.
    static void setRevealHandler(Handler handler);
};

} // namespace moss::ui
