// One loader for every path a user names: a folder is a bundle, a desktop
// entry or an AppImage a Linux application, anything else nothing.

#include "AppLoader.h"

#include "Printers.h"
#include "Sandbox.h"

#include <gtest/gtest.h>

namespace moss {
namespace {

using namespace Qt::StringLiterals;

TEST(AppLoaderTest, dispatchesByWhatThePathIs) {
    test::Sandbox sandbox;
    sandbox.activate();
    const auto source = [](const QString& path) {
        const std::optional<AppBundle> app = loadApplication(path, false);
        return app ? std::optional(app->source) : std::nullopt;
    };
    EXPECT_EQ(source(sandbox.makeBundle(u"home/Applications/Foo.app"_s,
                                        {{u"CFBundleIdentifier"_s, u"a.b.c"_s}})),
              AppSource::bundle);
    EXPECT_EQ(source(sandbox.writeFile(u"home/.local/share/applications/foo.desktop"_s,
                                       "[Desktop Entry]\nType=Application\nName=Foo\n")),
              AppSource::localEntry);
    EXPECT_EQ(source(sandbox.writeFile(u"home/Applications/Foo.AppImage"_s,
                                       QByteArray::fromHex("7f454c4602010100414902"))),
              AppSource::appImage);
    EXPECT_EQ(source(sandbox.writeFile(u"home/notes.txt"_s, "Foo")), std::nullopt);
}

} // namespace
} // namespace moss
