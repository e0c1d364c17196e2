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

// "source package identifier displayName" of each removed application, the
// catalogue read or not.
QStringList found(const Sandbox& sandbox, bool withCatalogue = true) {
    const LinuxRoots roots = sandbox.linuxRoots();
    QStringList result;
    for (const AppBundle& app : RemovedApps::applications(
             withCatalogue ? LinuxApps::catalogue(roots) : QList<AppBundle>(), roots))
        result.append(
            u"%1 %2 %3 %4"_s.arg(int(app.source))
                .arg(app.package, app.bundleIdentifier.value_or(u"-"_s), app.displayName));
    return result;
}

// acme-editor in that dpkg state, and a folder of its own in ~/.config.
void removedEditor(const Sandbox& sandbox, const QByteArray& state) {
    sandbox.writeFile(u"dpkg/status"_s, "Package: acme-editor\nStatus: x ok " + state +
                                            "\nArchitecture: amd64\n\n"
                                            "Package: other\nStatus: install ok installed\n");
    sandbox.makeDir(u"home/.config/acme-editor"_s);
}

TEST(RemovedAppsTest, OnlyCertainSignalsMakeARemovedApplication) {
    const QString autostart = u"etc/xdg/autostart/acme-editor.desktop"_s;
    const struct {
        const char* folders; // "LINK>TARGET" makes a link
        QByteArray state;    // of acme-editor, with its folder; none when empty
        QString entry;       // that dpkg lists for it, written unless it starts with "!"
        const char* expected;
    } cases[] = {
        {"home/.var/app/org.x.Maps/config", {}, {}, "2 app/org.x.Maps org.x.Maps Maps"},
        {"home/.var/app/org.x.Maps home/.local/share/flatpak/app/org.x.Maps", {}, {}, ""},
        {"home/.var/app/org.x.Maps flatpak/app/org.x.Maps", {}, {}, ""},
        {"home/.var/app/org.x.Maps>x home/.var/app/maps", {}, {}, ""},
        {"home/snap/spotify/x home/snap/Bad home/snap/y>x", {}, {}, "4 spotify - spotify"},
        {"home/snap/spotify snap/spotify", {}, {}, ""},
        {"", "config-files", autostart, "1 acme-editor - Acme Editor"}, // kept by dpkg
        {"", "config-files", u'!' + autostart, ""},
        {"", "installed", autostart, ""},
        {"", "config-files", u"usr/share/applications/acme-editor.desktop"_s, ""}, // shown
        {"home/.config/spotify home/.config/org.x.Maps", {}, {}, ""},              // names
    };
    for (const auto& c : cases) {
        Sandbox sandbox;
        for (const QString& folder : QString::fromUtf8(c.folders).split(u' ', Qt::SkipEmptyParts)) {
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
        EXPECT_EQ(found(sandbox).join(u"; "_s), QString::fromUtf8(c.expected))
            << c.folders << c.entry.toStdString();
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
    removedEditor(sandbox, "installed");
    EXPECT_EQ(found(sandbox), QStringList());
    const std::optional<QByteArray> remembered = fs::readFile(memory);

    QFile::remove(entry);
    removedEditor(sandbox, "config-files");
    EXPECT_EQ(found(sandbox, false), QStringList{u"1 acme-editor org.acme.Editor Acme Editor"_s});
    const AppBundle removed = RemovedApps::applications({}, sandbox.linuxRoots()).value(0);
    EXPECT_EQ(removed.url + removed.nestedIdentifiers.join(u' '),
              entry + u"org.acme.EditorWindow"_s);
    EXPECT_EQ(fs::readFile(memory), remembered); // unchanged

    sandbox.writeFile(u"dpkg/status"_s, "Package: other\nStatus: install ok installed\n");
    EXPECT_EQ(found(sandbox), QStringList());
    EXPECT_FALSE(fs::readFile(memory)->contains("acme-editor"));

    // Without its header the memory is not read; a line that does not hold
    // together is dropped, its sound neighbours kept.
    const QByteArray sound = "acme-editor\torg.acme.Editor.desktop\t/a/org.acme.Editor.desktop\t"
                             "Acme Editor\tAcme Editor\x1f"
                             "acme-editor\t\n";
    QByteArray hostile = "acme-editor\n" + sound.left(sound.size() - 1) + "\textra\n";
    const QByteArrayList edits = {
        "acme-editor\t", "Acme Editor\t",     "\t/a/",      "\t/x/../a/", ".desktop\tAcme",
        ".txt\tAcme",    "\tAcme Editor\x1f", "\tAcme\x01", "editor\t\n", "editor\tword\n"};
    for (qsizetype i = 0; i < edits.size(); i += 2)
        hostile += QByteArray(sound).replace(edits[i], edits[i + 1]);
    removedEditor(sandbox, "config-files");
    const QByteArray header = "mossbin removed applications 1\n";
    const QByteArray memories[] = {header + sound, header + hostile, header + hostile + sound,
                                   sound, header + sound + QByteArray(5 << 20, '\n')};
    const int counts[] = {1, 0, 1, 0, 0};
    for (int i = 0; i < 5; ++i) {
        sandbox.writeFile(memory.mid(sandbox.root().size() + 1), memories[i]);
        EXPECT_EQ(found(sandbox, false).size(), counts[i]) << memories[i].left(200).toStdString();
    }
}

} // namespace
} // namespace moss
