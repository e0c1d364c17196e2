#pragma once

// "image://fileicon/PATH" with PATH percent-encoded (iconSource in
// StoreModels.h): the icon of the item at PATH as the file browser shows it.
// A bundle shows its own icon (CFBundleIconFile); a desktop entry the icon
// its Icon key names; other items the icon theme's icon of their type;
// anything else a generic document or folder.

#include <QImage>
#include <QQuickImageProvider>
#include <QString>

namespace moss::ui {

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
    // A desktop entry's icon (its Icon: a file, or a name in the icon theme
    // or in the hicolor folders), an AppImage's: the executable icon when
    // that is all there is. Null for other paths.
    static QImage applicationIcon(const QString& path, int side);
};

} // namespace moss::ui
