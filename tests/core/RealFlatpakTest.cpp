// The real flatpak tool: a tiny application, built into a local repository
// and installed into the sandbox's user installation by
// tests/support/install-flatpak-app.sh, is found, and removed by the command
// Mossbin makes for it, leaving its data folder to the leftover search.

#include "LinuxApps.h"
#include "PackageRemoval.h"
#include "Printers.h"
#include "Sandbox.h"
#include "platform/FileSystem.h"
#include "platform/ToolRun.h"

#include <QStandardPaths>
#include <gtest/gtest.h>

namespace moss {
namespace {

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

TEST(RealFlatpakTest, InstalledApplicationIsFoundAndItsToolRemovesIt) {
    if (QStandardPaths::findExecutable(u"flatpak"_s).isEmpty())
        GTEST_SKIP() << "flatpak is not installed (make test installs Debian's package)";
    test::Sandbox sandbox;
    sandbox.activate();
    const QString script = QStringLiteral(MOSS_SOURCE_DIR "/tests/support/install-flatpak-app.sh");
    const tools::ToolRun setup = tools::run(u"sh"_s, {script, sandbox.root()}, 2min);
    ASSERT_TRUE(setup.ok()) << setup.output.toStdString();
    const QString arch = tools::run(u"flatpak"_s, {u"--default-arch"_s}, 1min).output;

    const QString id = u"org.mossbin.Test.App"_s;
    const LinuxRoots roots = LinuxRoots::live();
    const QString entry =
        roots.flatpakUser() + u"/exports/share/applications/"_s + id + u".desktop"_s;
    const std::optional<AppBundle> app = LinuxApps::load(entry, roots);
    ASSERT_TRUE(app);
    EXPECT_EQ(app->source, AppSource::flatpakUser);
    EXPECT_EQ(app->package, u"app/%1/%2/stable"_s.arg(id, arch));

    const ApplicationRemoval removal = PackageRemoval::of(*app, roots);
    const QString folder = roots.flatpakUser() + u"/app/"_s + id;
    EXPECT_EQ(removal.item, folder);
    EXPECT_EQ(PackageRemoval::flatpakOrigin(roots.flatpakUser(), app->package), u"mossbin-test"_s);
    EXPECT_EQ(removal.reinstall, u"flatpak install --user mossbin-test "_s + id);

    const QString data =
        sandbox.writeFile(u"home/.var/app/"_s + id + u"/config/settings"_s, "kept");
    const tools::ToolRun removed = tools::run(removal.program, removal.arguments, 2min);
    ASSERT_TRUE(removed.ok()) << removed.output.toStdString();
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_FALSE(LinuxApps::load(entry, roots));
    EXPECT_EQ(fs::readFile(data), "kept");
}

} // namespace
} // namespace moss
