// Icons of files and bundles for the window.

#include "FileIconProvider.h"

#include "Sandbox.h"
#include "platform/FileSystem.h"

#include <QUrl>
#include <gtest/gtest.h>

namespace moss::test {
namespace {

TEST(FileIconProvider, IdsCarryAnyFileNameBackToItsPath) {
    const QString odd =
        QStringLiteral("/tmp/a b/%41 «ё»/") + fs::decodePath(QByteArray("\xff\xfe.app"));
    const QString id = QString::fromLatin1(fs::encodePath(odd).toPercentEncoding());
    EXPECT_EQ(ui::FileIconProvider::pathFromId(id), odd);
    // The image URL as QML hands it over may come back partly decoded.
    const QUrl url(QStringLiteral("image://fileicon/") + id);
    EXPECT_EQ(ui::FileIconProvider::pathFromId(
                  url.toString(QUrl::RemoveScheme | QUrl::RemoveAuthority).mid(1)),
              odd);
}

TEST(FileIconProvider, IconsOutsideTheBundleOrBrokenFallBackToAnImage) {
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
    for (const QString& path : {lying, broken, sandbox.path(QStringLiteral("missing"))})
        EXPECT_FALSE(ui::FileIconProvider::icon(path, 32).isNull()) << qPrintable(path);
}

} // namespace
} // namespace moss::test
