#include "PackageRemoval.h"

#include "Sandbox.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace moss;
using Way = ApplicationRemoval::Way;

// How each source's application goes, and where a Flatpak's origin is read.
TEST(PackageRemovalTest, WayBySourceAndFlatpakOrigin) {
    test::Sandbox sandbox;
    const LinuxRoots roots = sandbox.linuxRoots();
    const QString user = u"home/.local/share/flatpak/app/org.acme.Paint/x86_64/stable/"_s;
    sandbox.writeFile(user + u"abc/deploy"_s, QByteArray("flathub\0\0\x01junk", 13));
    sandbox.symlink(u"abc"_s, user + u"active"_s);
    sandbox.writeFile(u"flatpak/repo/refs/remotes/gnome-nightly/app/org.acme.Draw/x86_64/master"_s);
    sandbox.makeDir(u"flatpak/app/org.acme.Draw/x86_64/master"_s);
    sandbox.makeDir(u"snap/sketch"_s);
    const QString system = sandbox.writeFile(u"usr/share/applications/gimp.desktop"_s);
    const QString own = sandbox.writeFile(u"home/.local/share/applications/gimp.desktop"_s);
    const auto app = [](AppSource source, const QString& url, const QString& package) {
        AppBundle bundle;
        bundle.source = source;
        bundle.url = url;
        bundle.package = package;
        return bundle;
    };
    struct Row {
        AppBundle app;
        Way way;
        QString item, command; // the tool's whole command line, or the user's
        QString reinstall;
    };
    const Row rows[] = {
        {app(AppSource::flatpakUser, system, u"app/org.acme.Paint/x86_64/stable"_s), Way::tool,
         sandbox.path(u"home/.local/share/flatpak/app/org.acme.Paint"_s),
         u"flatpak uninstall --noninteractive --user org.acme.Paint"_s,
         u"flatpak install --user flathub org.acme.Paint"_s},
        {app(AppSource::flatpakSystem, system, u"app/org.acme.Draw/x86_64/master"_s), Way::tool,
         sandbox.path(u"flatpak/app/org.acme.Draw"_s),
         u"flatpak uninstall --noninteractive --system org.acme.Draw"_s,
         u"flatpak install --system gnome-nightly org.acme.Draw"_s},
        // Not in its installation: only its entry, the user's or not.
        {app(AppSource::flatpakUser, system, u"app/org.acme.Gone"_s), Way::trash, system, {}, {}},
        {app(AppSource::flatpakSystem, system, u"app/../../etc"_s), Way::elsewhere, system, {}, {}},
        {app(AppSource::snap, system, u"sketch"_s), Way::tool, sandbox.path(u"snap/sketch"_s),
         u"snap remove sketch"_s, u"snap install sketch"_s},
        {app(AppSource::snap, system, u"-rf"_s), Way::elsewhere, system, {}, {}},
        {app(AppSource::debianPackage, system, u"gimp"_s),
         Way::elsewhere,
         system,
         u"sudo apt remove gimp"_s,
         {}},
        {app(AppSource::debianPackage, own, u"gimp"_s), Way::trash, own, {}, {}},
        {app(AppSource::systemEntry, system, {}), Way::elsewhere, system, {}, {}},
        {app(AppSource::appImage, system, {}), Way::trash, system, {}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.app.package.toStdString());
        const ApplicationRemoval removal = PackageRemoval::of(row.app, roots);
        EXPECT_EQ(removal.way, row.way);
        EXPECT_EQ(removal.item, row.item);
        EXPECT_EQ(row.way == Way::tool ? removal.program + u' ' + removal.arguments.join(u' ')
                                       : removal.command,
                  row.command);
        EXPECT_EQ(removal.reinstall, row.reinstall);
        EXPECT_EQ(PackageRemoval::toolNote(removal).isEmpty(), row.way != Way::tool);
    }
    // A deployment that does not name a plain remote says nothing.
    sandbox.writeFile(user + u"abc/deploy"_s, "rm -rf /; x\0"_ba);
    EXPECT_EQ(PackageRemoval::flatpakOrigin(roots.flatpakUser(), rows[0].app.package), u""_s);
}
