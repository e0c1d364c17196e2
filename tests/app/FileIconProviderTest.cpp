// Icons of files and bundles for the window.

#include "FileIconProvider.h"

#include "Sandbox.h"
#include "platform/FileSystem.h"

#include <QImageWriter>
#include <QUrl>
#include <gtest/gtest.h>

namespace moss::test {
namespace {

QImage solid(QColor color) {
    QImage image(64, 64, QImage::Format_ARGB32);
    image.fill(color);
    return image;
}

TEST(FileIconProvider, IdsCarryAnyFileNameBackToItsPath) {
    const QString odd =
        QStringLiteral("/tmp/a b/%41 «ё»/") + fs::decodePath(QByteArray("\xff\xfe.app"));
    const QString id = QString::fromLatin1(fs::encodePath(odd).toPercentEncoding());
    EXPECT_EQ(ui::FileIconProvider::pathFromId(id), odd);
    // The image URL as QML hands it over may come back partly decoded.
    const QUrl url(QStringLiteral("image://fileicon/") + id);
    const QString handed = url.toString(QUrl::RemoveScheme | QUrl::RemoveAuthority).mid(1);
    EXPECT_EQ(ui::FileIconProvider::pathFromId(handed), odd);
}

TEST(FileIconProvider, BundleShowsTheIconItsInfoNames) {
    Sandbox sandbox;
    const QString bundle =
        sandbox.makeBundle(QStringLiteral("Red.app"),
                           {{QStringLiteral("CFBundleIconFile"), QStringLiteral("AppIcon")}});
    QImageWriter writer(sandbox.path(QStringLiteral("Red.app/Contents/Resources/AppIcon.icns")),
                        "icns");
    sandbox.makeDir(QStringLiteral("Red.app/Contents/Resources"));
    ASSERT_TRUE(writer.write(solid(Qt::red))) << qPrintable(writer.errorString());

    const QImage icon = ui::FileIconProvider::icon(bundle, 32);
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.width(), 32);
    EXPECT_EQ(QColor(icon.pixel(16, 16)), QColor(Qt::red));
}

TEST(FileIconProvider, BrokenOrMissingIconsFallBackToAnImage) {
    Sandbox sandbox;
    const QString lying = sandbox.makeBundle(
        QStringLiteral("Lying.app"),
        {{QStringLiteral("CFBundleIconFile"), QStringLiteral("../../etc/passwd")}});
    sandbox.writeFile(QStringLiteral("Broken.app/Contents/Resources/AppIcon.icns"), "not an icon");
    const QString broken =
        sandbox.makeBundle(QStringLiteral("Broken.app"),
                           {{QStringLiteral("CFBundleIconFile"), QStringLiteral("AppIcon")}});

    EXPECT_TRUE(ui::FileIconProvider::bundleIcon(lying, 32).isNull());
    EXPECT_TRUE(ui::FileIconProvider::bundleIcon(broken, 32).isNull());
    for (const QString& path : {lying, broken, sandbox.writeFile(QStringLiteral("notes.txt")),
                                sandbox.path(QStringLiteral("missing"))})
        EXPECT_FALSE(ui::FileIconProvider::icon(path, 32).isNull()) << qPrintable(path);
}

} // namespace
} // namespace moss::test
