#include "FileIconProvider.h"

#include "AppBundle.h"
#include "DesktopEntry.h"
#include "LinuxApps.h"
#include "Theme.h"
#include "platform/FileSystem.h"
#include "platform/PropertyList.h"

#include <QBuffer>
#include <QIcon>
#include <QImageReader>
#include <QMimeDatabase>
#include <QPainter>
#include <QPainterPath>

namespace moss::ui {

namespace {

constexpr int defaultSide = 64;

// The icon file that CFBundleIconFile names, looked for in the bundle's
// resource folders, with ".icns" added when the name has no extension.
QString iconFileOf(const QString& bundlePath) {
    const auto name = plist::stringValue(AppBundle::infoDictionary(bundlePath),
                                         QStringLiteral("CFBundleIconFile"));
    if (!name || name->isEmpty() || name->contains(u'/'))
        return {};
    QStringList names{*name};
    if (fs::pathExtension(*name).isEmpty())
        names.prepend(*name + QStringLiteral(".icns"));
    for (const auto* folder : {"Contents/Resources", "Resources", ""}) {
        for (const QString& file : names) {
            const QString candidate =
                fs::appending(fs::appending(bundlePath, QString::fromLatin1(folder)), file);
            if (fs::entryType(candidate) == fs::EntryType::file)
                return candidate;
        }
    }
    return {};
}

QImage scaled(const QImage& image, int side) {
    return image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

// The largest image that an icon file holds (an .icns keeps several sizes).
QImage largestImage(const QString& file) {
    const auto bytes = fs::readFile(file);
    if (!bytes)
        return {};
    QBuffer buffer;
    buffer.setData(*bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    QImage best;
    do {
        const QImage image = reader.read();
        if (!image.isNull() && image.width() > best.width())
            best = image;
    } while (reader.jumpToNextImage());
    return best;
}

QImage themeIcon(const QString& path, int side) {
    QIcon icon;
    if (fs::isRealDirectory(path)) {
        icon = QIcon::fromTheme(QStringLiteral("folder"));
    } else {
        const QMimeType type =
            QMimeDatabase().mimeTypeForFile(fs::lastComponent(path), QMimeDatabase::MatchExtension);
        icon = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName()));
    }
    if (icon.isNull())
        return {};
    return icon.pixmap(side, side).toImage();
}

QImage imageFile(const QString& file, int side) {
    const QString extension = fs::pathExtension(file).toLower();
    if (extension != u"svg" && extension != u"svgz") {
        const QImage image = largestImage(file);
        return image.isNull() ? image : scaled(image, side);
    }
    // A scalable image is drawn at the side asked for.
    const auto bytes = fs::readFile(file);
    if (!bytes)
        return {};
    QBuffer buffer;
    buffer.setData(*bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, extension.toLatin1());
    reader.setScaledSize(QSize(side, side));
    return reader.read();
}

// The icon a desktop entry's Icon names: a file, a name in the icon theme,
// a name in the hicolor folders.
QImage namedIcon(const QString& icon, int side) {
    if (icon.isEmpty())
        return {};
    if (!icon.startsWith(u'/')) {
        const QIcon themed = QIcon::fromTheme(icon);
        if (!themed.isNull())
            return themed.pixmap(side, side).toImage();
    }
    const QString file = LinuxApps::iconFile(icon, LinuxRoots::live());
    return file.isEmpty() ? QImage() : imageFile(file, side);
}

QImage executableIcon(int side) {
    const QIcon icon = QIcon::fromTheme(QStringLiteral("application-x-executable"));
    return icon.isNull() ? QImage() : icon.pixmap(side, side).toImage();
}

// A plain page or folder, drawn when nothing better is known.
QImage genericIcon(bool folder, int side) {
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(side / 32.0, side / 32.0);
    painter.setPen(QPen(Theme::muted(), 1.2));
    painter.setBrush(Theme::palette().color(QPalette::Midlight));
    QPainterPath shape;
    if (folder) {
        shape.moveTo(3, 8);
        shape.lineTo(12, 8);
        shape.lineTo(14, 10);
        shape.lineTo(29, 10);
        shape.lineTo(29, 26);
        shape.lineTo(3, 26);
        shape.closeSubpath();
    } else {
        shape.moveTo(7, 3);
        shape.lineTo(19, 3);
        shape.lineTo(25, 9);
        shape.lineTo(25, 29);
        shape.lineTo(7, 29);
        shape.closeSubpath();
    }
    painter.drawPath(shape);
    return image;
}

} // namespace

QString FileIconProvider::pathFromId(const QString& id) {
    return fs::decodePath(QByteArray::fromPercentEncoding(id.toUtf8()));
}

QImage FileIconProvider::bundleIcon(const QString& bundlePath, int side) {
    const QString file = iconFileOf(bundlePath);
    if (file.isEmpty())
        return {};
    const QImage image = largestImage(file);
    return image.isNull() ? QImage() : scaled(image, side);
}

QImage FileIconProvider::applicationIcon(const QString& path, int side) {
    if (path.endsWith(u".desktop")) {
        const std::optional<DesktopEntry> entry = DesktopEntry::read(path);
        if (!entry)
            return {};
        QImage image = namedIcon(
            entry->string(DesktopEntry::mainGroup, "Icon").value_or(QString()).trimmed(), side);
        return image.isNull() ? executableIcon(side) : image;
    }
    return LinuxApps::isAppImage(path) ? executableIcon(side) : QImage();
}

QImage FileIconProvider::icon(const QString& path, int side) {
    if (QImage own = bundleIcon(path, side); !own.isNull())
        return own;
    if (QImage own = applicationIcon(path, side); !own.isNull())
        return own;
    if (QImage themed = themeIcon(path, side); !themed.isNull())
        return themed;
    return genericIcon(fs::isRealDirectory(path), side);
}

QImage FileIconProvider::requestImage(const QString& id, QSize* size, const QSize& requestedSize) {
    const int side = requestedSize.isValid()
                         ? std::max(requestedSize.width(), requestedSize.height())
                         : defaultSide;
    QImage image = icon(pathFromId(id), side);
    if (size)
        *size = image.size();
    return image;
}

} // namespace moss::ui
