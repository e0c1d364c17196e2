// Removed applications: which leftovers say for certain that an application
// is gone, and the memory of Debian-package applications.

#include "RemovedApps.h"

#include "LinuxApps.h"
#include "Printers.h"
#include "Sandbox.h"
#include "platform/FileSystem.h"

#include <gtest/gtest.h>

namespace moss {
namespace {

using namespace Qt::StringLiterals;
using test::Sandbox;

// "source package identifier displayName" of each removed application.
QStringList found(const Sandbox& sandbox, const QList<AppBundle>& catalogue) {
    QStringList result;
    for (const AppBundle& app : RemovedApps::applications(catalogue, sandbox.linuxRoots()))
        result.append(
            u"%1 %2 %3 %4"_s.arg(int(app.source))
                .arg(app.package, app.bundleIdentifier.value_or(u"-"_s), app.displayName));
    return result;
}

QStringList found(const Sandbox& sandbox) {
    return found(sandbox, LinuxApps::catalogue(sandbox.linuxRoots()));
}

// acme-editor in that dpkg state, and a folder of its own in ~/.config.
void removedEditor(const Sandbox& sandbox, const QByteArray& state) {
    sandbox.writeFile(u"dpkg/status"_s, "Package: acme-editor\nStatus: " + state +
                                            "\nArchitecture: amd64\n\n"
                                            "Package: other\nStatus: install ok installed\n");
    sandbox.makeDir(u"home/.config/acme-editor"_s);
}

TEST(RemovedAppsTest, OnlyCertainSignalsMakeARemovedApplication) {
    const struct {
        QStringList folders; // "LINK>TARGET" makes a link
        QByteArray state;    // of acme-editor, with its folder; none when empty
        QString entry;       // that dpkg lists for it, written unless it starts with "!"
        QString expected;
    } cases[] = {
        {{u"home/.var/app/org.gnome.Maps/config"_s},
         {},
         {},
         u"2 app/org.gnome.Maps org.gnome.Maps Maps"_s},
        {{u"home/.var/app/org.gnome.Maps"_s, u"home/.local/share/flatpak/app/org.gnome.Maps"_s},
         {},
         {},
         {}},
        {{u"home/.var/app/org.gnome.Maps"_s, u"flatpak/app/org.gnome.Maps"_s}, {}, {}, {}},
        {{u"home/.var/app/org.gnome.Maps>x"_s, u"home/.var/app/maps"_s}, {}, {}, {}},
        {{u"home/snap/spotify/common"_s, u"home/snap/Not A Snap"_s, u"home/snap/linked>x"_s},
         {},
         {},
         u"4 spotify - spotify"_s},
        {{u"home/snap/spotify"_s, u"snap/spotify"_s}, {}, {}, {}},
        // A configuration file of the package's that dpkg keeps.
        {{},
         "deinstall ok config-files",
         u"etc/xdg/autostart/acme-editor.desktop"_s,
         u"1 acme-editor - Acme Editor"_s},
        {{}, "deinstall ok config-files", u"!etc/xdg/autostart/acme-editor.desktop"_s, {}},
        {{}, "install ok installed", u"etc/xdg/autostart/acme-editor.desktop"_s, {}},
        // The catalogue shows it.
        {{}, "deinstall ok config-files", u"usr/share/applications/acme-editor.desktop"_s, {}},
        // Names alone.
        {{u"home/.config/spotify"_s, u"home/.config/org.gnome.Maps"_s}, {}, {}, {}},
    };
    for (const auto& c : cases) {
        Sandbox sandbox;
        for (const QString& folder : c.folders) {
            if (const QStringList link = folder.split(u'>'); link.size() == 2)
                sandbox.symlink(sandbox.makeDir(link[1]), link[0]);
            else
                sandbox.makeDir(folder);
        }
        if (!c.state.isEmpty())
            removedEditor(sandbox, c.state);
        if (const bool gone = c.entry.startsWith(u'!'); !c.entry.isEmpty()) {
            const QString entry = c.entry.mid(gone ? 1 : 0);
            if (!gone)
                sandbox.writeFile(entry, "[Desktop Entry]\nType=Application\nName=Acme Editor\n");
            sandbox.writeFile(u"dpkg/info/acme-editor:amd64.list"_s,
                              "/etc\n" + fs::encodePath(sandbox.path(entry)) + "\n");
        }
        EXPECT_EQ(found(sandbox).join(u"; "_s), c.expected)
            << c.folders.join(u' ').toStdString() << c.entry.toStdString();
    }
}

// An application the catalogue showed is found by its remembered identity
// once its package is removed and its entry gone; a purged package is
// forgotten.
TEST(RemovedAppsTest, TheMemoryKnowsWhatDpkgForgot) {
    Sandbox sandbox;
    const QString memory = RemovedApps::memoryFile(sandbox.linuxRoots());
    const QString entry =
        sandbox.writeFile(u"usr/share/applications/org.acme.Editor.desktop"_s,
                          "[Desktop Entry]\nType=Application\nName=Acme Editor\n"
                          "Exec=acme-editor %F\nStartupWMClass=org.acme.EditorWindow\n");
    sandbox.writeFile(u"dpkg/info/acme-editor.list"_s, fs::encodePath(entry) + "\n");
    removedEditor(sandbox, "install ok installed");
    EXPECT_EQ(found(sandbox), QStringList());
    const std::optional<QByteArray> remembered = fs::readFile(memory);

    QFile::remove(entry);
    removedEditor(sandbox, "deinstall ok config-files");
    const QList<AppBundle> removed = RemovedApps::applications({}, sandbox.linuxRoots());
    ASSERT_EQ(removed.size(), 1);
    EXPECT_EQ(removed[0].url, entry);
    EXPECT_EQ(removed[0].bundleIdentifier, u"org.acme.Editor"_s);
    EXPECT_EQ(removed[0].nestedIdentifiers, QStringList{u"org.acme.EditorWindow"_s});
    EXPECT_TRUE(removed[0].names.contains(u"acme-editor"_s));
    EXPECT_EQ(fs::readFile(memory), remembered); // unchanged

    sandbox.writeFile(u"dpkg/status"_s, "Package: other\nStatus: install ok installed\n");
    EXPECT_EQ(found(sandbox), QStringList());
    EXPECT_FALSE(fs::readFile(memory)->contains("acme-editor"));

    // Without its header the memory is not read; a line that does not hold
    // together is dropped, its sound neighbours kept.
    const QByteArray sound = "acme-editor\torg.acme.Editor.desktop\t/usr/share/applications/"
                             "org.acme.Editor.desktop\tAcme Editor\tAcme Editor\x1f"
                             "acme-editor\t\n";
    QByteArray hostile = "acme-editor\n" + sound.left(sound.size() - 1) + "\textra\n";
    for (const auto& [from, to] : std::initializer_list<std::pair<QByteArray, QByteArray>>{
             {"acme-editor\t", "Acme Editor\t"},
             {"\t/usr/share/", "\t/usr/x/../share/"},
             {".desktop\tAcme", ".txt\tAcme"},
             {"\tAcme Editor\x1f", "\tAcme\x01"},
             {"acme-editor\t\n", "acme-editor\tword\n"}})
        hostile += QByteArray(sound).replace(from, to);
    removedEditor(sandbox, "deinstall ok config-files");
    const QByteArray header = "mossbin removed applications 1\n";
    for (const auto& [contents, count] : std::initializer_list<std::pair<QByteArray, int>>{
             {header + sound, 1},
             {header + hostile, 0},
             {header + hostile + sound, 1},
             {sound, 0},
             {header + sound + QByteArray(5 << 20, '\n'), 0}}) {
        sandbox.writeFile(memory.mid(sandbox.root().size() + 1), contents);
        EXPECT_EQ(found(sandbox, {}).size(), count) << contents.left(200).toStdString();
    }
}

} // namespace
} // namespace moss
