// Icons of files and bundles for the window, and the shadow images.

#include "Desktop.h"

#include "Sandbox.h"
#include "Theme.h"
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

TEST(ShadowImageProvider, NinePatchIsSymmetricAndFadesOutwards) {
    const QImage shadow = ui::ShadowImageProvider::render(18, 10, QColor(0, 0, 0, 153));
    ASSERT_EQ(shadow.size(), QSize(2 * (18 + 20) + 1, 2 * (18 + 20) + 1));
    const int centre = shadow.width() / 2;
    EXPECT_NEAR(qAlpha(shadow.pixel(centre, centre)), 153, 2);
    EXPECT_EQ(qAlpha(shadow.pixel(0, 0)), 0);
    EXPECT_LT(qAlpha(shadow.pixel(3, centre)), qAlpha(shadow.pixel(30, centre)));
    EXPECT_EQ(shadow.pixel(5, centre), shadow.pixel(shadow.width() - 6, centre));
}

TEST(ShadowImageProvider, MalformedDescriptionsGiveNoImage) {
    ui::ShadowImageProvider provider;
    QSize size;
    for (const char* id :
         {"", "18/10", "x/10/ff000000", "18/-1/ff000000", "18/10/zz", "9999/10/ff000000"})
        EXPECT_TRUE(provider.requestImage(QString::fromLatin1(id), &size, {}).isNull()) << id;
    EXPECT_FALSE(provider.requestImage(QStringLiteral("4/2/ff000000"), &size, {}).isNull());
    EXPECT_EQ(size, QSize(2 * (4 + 4) + 1, 2 * (4 + 4) + 1));
}

} // namespace
} // namespace moss::test
