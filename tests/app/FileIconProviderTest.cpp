// Icons of files and bundles for the window.

#include "FileIconProvider.h"

#include "Sandbox.h"
#include "platform/FileSystem.h"

#include <QImage>
#include <QUrl>
#include <gtest/gtest.h>

namespace moss::test {
namespace {

using namespace Qt::Literals::StringLiterals;

TEST(FileIconProvider, IdsCarryAnyFileNameBackToItsPath) {
    const QString odd = u"/tmp/a b/%41 «ё»/"_s + fs::decodePath(QByteArray("\xff\xfe.app"));
    const QString id = QString::fromLatin1(fs::encodePath(odd).toPercentEncoding());
    EXPECT_EQ(ui::FileIconProvider::pathFromId(id), odd);
    // The image URL as QML hands it over may come back partly decoded.
    const QUrl url(u"image://fileicon/"_s + id);
    EXPECT_EQ(ui::FileIconProvider::pathFromId(
                  url.toString(QUrl::RemoveScheme | QUrl::RemoveAuthority).mid(1)),
              odd);
}

TEST(FileIconProvider, IconsOutsideTheBundleOrBrokenFallBackToAnImage) {
    Sandbox sandbox;
    const QString lying =
        sandbox.makeBundle(u"Lying.app"_s, {{u"CFBundleIconFile"_s, u"../../etc/passwd"_s}});
    sandbox.writeFile(u"Broken.app/Contents/Resources/AppIcon.icns"_s, "not an icon");
    const QString broken =
        sandbox.makeBundle(u"Broken.app"_s, {{u"CFBundleIconFile"_s, u"AppIcon"_s}});
    EXPECT_TRUE(ui::FileIconProvider::bundleIcon(lying, 32).isNull());
    EXPECT_TRUE(ui::FileIconProvider::bundleIcon(broken, 32).isNull());
    // A readable icon comes back at the side asked for.
    QImage picture(64, 64, QImage::Format_ARGB32);
    picture.fill(Qt::red);
    picture.save(sandbox.makeDir(u"Good.app/Contents/Resources"_s) + u"/Icon.png"_s);
    const QString good =
        sandbox.makeBundle(u"Good.app"_s, {{u"CFBundleIconFile"_s, u"Icon.png"_s}});
    EXPECT_EQ(ui::FileIconProvider::bundleIcon(good, 32).width(), 32);
    for (const QString& path : {lying, broken, sandbox.path(u"missing"_s)})
        EXPECT_FALSE(ui::FileIconProvider::icon(path, 32).isNull()) << qPrintable(path);
}

} // namespace
} // namespace moss::test
