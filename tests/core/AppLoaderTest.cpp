// One loader for every path a user names: a folder is a bundle, a desktop
// entry or an AppImage a Linux application, anything else nothing.

#include "AppLoader.h"

#include "Printers.h"
#include "Sandbox.h"

#include <QFile>
#include <gtest/gtest.h>

namespace moss {
namespace {

using namespace Qt::StringLiterals;

TEST(AppLoaderTest, dispatchesByWhatThePathIs) {
    test::Sandbox sandbox;
    sandbox.activate();
    const QString bundle =
        sandbox.makeBundle(u"home/Applications/Foo.app"_s, {{u"CFBundleIdentifier"_s, u"a.b.c"_s}});
    const QString entry = sandbox.writeFile(u"home/.local/share/applications/foo.desktop"_s,
                                            "[Desktop Entry]\nType=Application\nName=Foo\n");
    const QString image =
        sandbox.writeFile(u"home/Applications/Foo.AppImage"_s, QByteArray("\x7F"
                                                                          "ELF\2\1\1\0AI\2",
                                                                          11));
    const QString link = sandbox.writeFile(u"home/Desktop/site.desktop"_s,
                                           "[Desktop Entry]\nType=Link\nName=Site\nURL=x\n");
    const QString text = sandbox.writeFile(u"home/notes.txt"_s, "Foo");

    const std::pair<QString, std::optional<AppSource>> cases[] = {
        {bundle, AppSource::bundle}, {entry, AppSource::localEntry}, {image, AppSource::appImage},
        {link, std::nullopt},        {text, std::nullopt},
    };
    for (const auto& [path, source] : cases) {
        const std::optional<AppBundle> app = loadApplication(path, false);
        EXPECT_EQ(app ? std::optional(app->source) : std::nullopt, source) << path.toStdString();
    }
}

} // namespace
} // namespace moss
