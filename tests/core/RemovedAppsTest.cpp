// Removed applications: which leftovers say for certain that an application
// is gone, and the memory of Debian-package applications.

#include "RemovedApps.h"

#include "LinuxApps.h"
#include "Printers.h"
#include "Sandbox.h"
#include "platform/FileSystem.h"

#include <functional>
#include <gtest/gtest.h>

namespace moss {
namespace {

using namespace Qt::StringLiterals;
using test::Sandbox;

const QByteArray editorEntry = "[Desktop Entry]\nType=Application\nName=Acme Editor\n"
                               "Exec=acme-editor %F\nStartupWMClass=org.acme.EditorWindow\n";

// "source package identifier displayName" of each removed application.
QStringList found(const Sandbox& sandbox) {
    const LinuxRoots roots = sandbox.linuxRoots();
    QStringList result;
    for (const AppBundle& app : RemovedApps::applications(LinuxApps::catalogue(roots), roots))
        result.append(
            u"%1 %2 %3 %4"_s.arg(int(app.source))
                .arg(app.package, app.bundleIdentifier.value_or(u"-"_s), app.displayName));
    return result;
}

void status(const Sandbox& sandbox, const QByteArray& state) {
    sandbox.writeFile(u"dpkg/status"_s, "Package: acme-editor\nStatus: " + state +
                                            "\nArchitecture: amd64\nVersion: 1\n\n"
                                            "Package: other\nStatus: install ok installed\n");
}

TEST(RemovedAppsTest, OnlyCertainSignalsMakeARemovedApplication) {
    // A configuration file that dpkg keeps, and an entry the catalogue shows.
    const QString entry = u"etc/xdg/autostart/acme-editor.desktop"_s;
    const QString shown = u"usr/share/applications/org.acme.Editor.desktop"_s;
    struct Case {
        const char* what;
        std::function<void(const Sandbox&)> scene;
        QStringList expected;
    };
    const Case cases[] = {
        {"a Flatpak's data, the Flatpak in neither installation",
         [](const Sandbox& s) { s.makeDir(u"home/.var/app/org.gnome.Maps/config"_s); },
         {u"2 app/org.gnome.Maps org.gnome.Maps Maps"_s}},
        {"the Flatpak in the user's installation",
         [](const Sandbox& s) {
             s.makeDir(u"home/.var/app/org.gnome.Maps"_s);
             s.makeDir(u"home/.local/share/flatpak/app/org.gnome.Maps"_s);
         },
         {}},
        {"the Flatpak in the system installation",
         [](const Sandbox& s) {
             s.makeDir(u"home/.var/app/org.gnome.Maps"_s);
             s.makeDir(u"flatpak/app/org.gnome.Maps"_s);
         },
         {}},
        {"a link, a file and a one-word name in ~/.var/app",
         [](const Sandbox& s) {
             s.symlink(s.makeDir(u"elsewhere"_s), u"home/.var/app/org.gnome.Maps"_s);
             s.writeFile(u"home/.var/app/org.gnome.Files"_s);
             s.makeDir(u"home/.var/app/maps"_s);
         },
         {}},
        {"an installed entry that names the Flatpak",
         [](const Sandbox& s) {
             s.makeDir(u"home/.var/app/org.gnome.Maps"_s);
             s.writeFile(
                 u"home/.local/share/applications/maps.desktop"_s,
                 "[Desktop Entry]\nType=Application\nName=Maps\nX-Flatpak=org.gnome.Maps\n");
         },
         {}},
        {"a Snap's data, the Snap not mounted; odd names passed over",
         [](const Sandbox& s) {
             s.makeDir(u"home/snap/spotify/common"_s);
             s.makeDir(u"home/snap/Not A Snap"_s);
             s.symlink(s.makeDir(u"elsewhere"_s), u"home/snap/linked"_s);
         },
         {u"4 spotify - spotify"_s}},
        {"the Snap mounted",
         [](const Sandbox& s) {
             s.makeDir(u"home/snap/spotify"_s);
             s.makeDir(u"snap/spotify"_s);
         },
         {}},
        {"a removed package's entry that dpkg still lists, with a file of its own",
         [&entry](const Sandbox& s) {
             s.writeFile(entry, editorEntry);
             s.writeFile(u"dpkg/info/acme-editor:amd64.list"_s,
                         "/usr\n" + fs::encodePath(s.path(entry)) + "\n");
             status(s, "deinstall ok config-files");
             s.makeDir(u"home/.config/acme-editor"_s);
         },
         {u"1 acme-editor - Acme Editor"_s}},
        {"an entry that dpkg lists and the catalogue shows",
         [&shown](const Sandbox& s) {
             s.writeFile(shown, editorEntry);
             s.writeFile(u"dpkg/info/acme-editor.list"_s, fs::encodePath(s.path(shown)) + "\n");
             status(s, "deinstall ok config-files");
             s.makeDir(u"home/.config/acme-editor"_s);
         },
         {}},
        {"the same with nothing of it in the user's folders",
         [&entry](const Sandbox& s) {
             s.writeFile(entry, editorEntry);
             s.writeFile(u"dpkg/info/acme-editor.list"_s, fs::encodePath(s.path(entry)) + "\n");
             status(s, "deinstall ok config-files");
         },
         {}},
        {"the entry listed but gone, and not remembered",
         [&entry](const Sandbox& s) {
             s.writeFile(u"dpkg/info/acme-editor.list"_s, fs::encodePath(s.path(entry)) + "\n");
             status(s, "deinstall ok config-files");
             s.makeDir(u"home/.config/acme-editor"_s);
         },
         {}},
        {"the package installed",
         [&entry](const Sandbox& s) {
             s.writeFile(entry, editorEntry);
             s.writeFile(u"dpkg/info/acme-editor.list"_s, fs::encodePath(s.path(entry)) + "\n");
             status(s, "install ok installed");
             s.makeDir(u"home/.config/acme-editor"_s);
         },
         {}},
        {"only a name in the user's folders",
         [](const Sandbox& s) {
             s.makeDir(u"home/.config/spotify"_s);
             s.makeDir(u"home/.config/org.gnome.Maps"_s);
         },
         {}},
    };
    for (const Case& c : cases) {
        Sandbox sandbox;
        c.scene(sandbox);
        EXPECT_EQ(found(sandbox), c.expected) << c.what;
    }
}

// An application the catalogue showed is found by its remembered identity
// once its package is removed and its entry gone; a purged package is
// forgotten.
TEST(RemovedAppsTest, TheMemoryKnowsWhatDpkgForgot) {
    Sandbox sandbox;
    const LinuxRoots roots = sandbox.linuxRoots();
    const QString entry =
        sandbox.writeFile(u"usr/share/applications/org.acme.Editor.desktop"_s, editorEntry);
    sandbox.writeFile(u"dpkg/info/acme-editor.list"_s, fs::encodePath(entry) + "\n");
    status(sandbox, "install ok installed");
    sandbox.makeDir(u"home/.cache/org.acme.EditorWindow"_s);
    EXPECT_EQ(found(sandbox), QStringList());
    const std::optional<QByteArray> memory = fs::readFile(RemovedApps::memoryFile(roots));
    ASSERT_TRUE(memory);

    // Removed: dpkg lists its configuration files only.
    QFile::remove(entry);
    sandbox.writeFile(u"dpkg/info/acme-editor.list"_s, "/etc\n/etc/acme-editor.conf\n");
    status(sandbox, "deinstall ok config-files");
    const QList<AppBundle> removed = RemovedApps::applications({}, roots);
    ASSERT_EQ(removed.size(), 1);
    EXPECT_EQ(removed[0].url, entry);
    EXPECT_EQ(removed[0].source, AppSource::debianPackage);
    EXPECT_EQ(removed[0].bundleIdentifier, u"org.acme.Editor"_s);
    EXPECT_EQ(removed[0].nestedIdentifiers, QStringList{u"org.acme.EditorWindow"_s});
    EXPECT_TRUE(removed[0].names.contains(u"acme-editor"_s));
    EXPECT_EQ(fs::readFile(RemovedApps::memoryFile(roots)), memory); // unchanged: not rewritten

    // Purged.
    sandbox.writeFile(u"dpkg/status"_s, "Package: other\nStatus: install ok installed\n");
    EXPECT_EQ(found(sandbox), QStringList());
    EXPECT_FALSE(fs::readFile(RemovedApps::memoryFile(roots))->contains("acme-editor"));
}

// A memory without its header is ignored; a line that does not hold
// together is dropped, its sound neighbours kept.
TEST(RemovedAppsTest, AMalformedMemoryIsNotTrusted) {
    const QByteArray header = "mossbin removed applications 1\n";
    const QByteArray sound = "acme-editor\torg.acme.Editor.desktop\t"
                             "/usr/share/applications/org.acme.Editor.desktop\tAcme Editor\t"
                             "Acme Editor\x1f"
                             "acme-editor\t\n";
    const auto with = [&sound](int field, const QByteArray& value) {
        QByteArrayList fields = sound.chopped(1).split('\t');
        fields[field] = value;
        return fields.join('\t') + '\n';
    };
    const QByteArray hostile =
        "acme-editor\n" + with(0, "Acme Editor") + with(0, "acme\xff") + with(1, "a/b.desktop") +
        with(1, "acme.txt") + with(2, "../x.desktop") +
        with(2, "/usr/share/applications/../x.desktop") + with(2, "/etc/passwd") + with(3, "") +
        with(3, QByteArray(2000, 'x')) + with(4, "a\x01z") + with(4, "a\x1f\x1f") +
        with(5, "word") + sound.chopped(1) + "\textra\n";
    const struct {
        QByteArray memory;
        bool found;
    } cases[] = {
        {header + sound, true},
        {header + hostile, false},
        {header + hostile + sound, true},
        {sound, false},
        {"mossbin removed applications 2\n" + sound, false},
        {header + sound + QByteArray(5 * 1024 * 1024, '\n'), false},
    };
    for (const auto& c : cases) {
        Sandbox sandbox;
        sandbox.writeFile(u"home/.local/state/mossbin/removed-apps"_s, c.memory);
        status(sandbox, "deinstall ok config-files");
        sandbox.makeDir(u"home/.config/acme-editor"_s);
        EXPECT_EQ(RemovedApps::applications({}, sandbox.linuxRoots()).size(), c.found ? 1 : 0)
            << c.memory.left(300).toStdString();
    }
}

} // namespace
} // namespace moss
