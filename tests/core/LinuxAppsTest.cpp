// Linux applications: the catalogue of desktop entries and AppImages, the
// record of each source, loading one path, and the name rules.

#include "LinuxApps.h"

#include "Printers.h"
#include "Sandbox.h"
#include "platform/FileSystem.h"

#include <gtest/gtest.h>

namespace moss {
namespace {

using namespace Qt::StringLiterals;
using test::Sandbox;

QByteArray entry(const QByteArray& keys) {
    return "[Desktop Entry]\nType=Application\n" + keys + "\n";
}

// A home with applications of every source, and the system folders beside it.
class LinuxAppsTest : public ::testing::Test {
protected:
    QString write(const QString& relative, const QByteArray& data, bool executable = false) {
        return executable ? sandbox.writeExecutable(relative, data)
                          : sandbox.writeFile(relative, data);
    }

    // One application of each source, and entries the catalogue leaves out.
    void SetUp() override {
        const QString home = u"home/.local/share/applications/"_s;
        const QString local = u"usr/local/share/applications/"_s;
        const QString usr = u"usr/share/applications/"_s;
        write(home + u"org.acme.Notes.desktop"_s,
              entry("Name=Notes\nName[ru]=Заметки\nExec=notes %U\nIcon=notes\n"
                    "StartupWMClass=NotesWindow"));
        // Shadowing: a hidden user entry hides the system one of its ID.
        write(home + u"shadow.desktop"_s, entry("Name=Shadow\nHidden=true"));
        write(usr + u"shadow.desktop"_s, entry("Name=Shadow"));
        // Sub-folder IDs: kde/tool.desktop is kde-tool.desktop.
        write(local + u"kde/tool.desktop"_s, entry("Name=Tool Kde\nTryExec="));
        write(usr + u"kde-tool.desktop"_s, entry("Name=Tool Usr"));
        write(local + u"hidden.desktop"_s, entry("Name=NoDisplay\nNoDisplay=true"));
        write(local + u"link.desktop"_s, "[Desktop Entry]\nType=Link\nName=Link\nURL=x\n");
        write(local + u"gone.desktop"_s, entry("Name=Gone\nTryExec=gone-program"));
        write(u"bin/present"_s, "#!/bin/sh\n", true);
        write(local + u"present.desktop"_s, entry("Name=Present\nTryExec=present"));
        write(local + u"broken.desktop"_s, QByteArray("[Desktop Entry]\0", 16));
        // A Debian package's entry and one that no package owns.
        write(usr + u"gimp.desktop"_s,
              entry("Name=GNU Image Manipulation Program\nExec=gimp-2.10 %U\nIcon=gimp"));
        write(usr + u"unowned.desktop"_s, entry("Name=Unowned\nExec=/opt/unowned/run"));
        write(u"dpkg/info/gimp:amd64.list"_s,
              "/.\n/usr\n" + fs::encodePath(sandbox.path(usr + u"gimp.desktop"_s)) + "\n");
        write(u"dpkg/info/removed.list"_s,
              fs::encodePath(sandbox.path(usr + u"unowned.desktop"_s)) + "\n");
        write(u"dpkg/status"_s, "Package: removed\nStatus: deinstall ok config-files\n"
                                "Version: 1\n\nPackage: gimp\nStatus: install ok installed\n"
                                "Architecture: amd64\nVersion: 2.10.34-1\n");
        // A Flatpak of the user's installation, exported through a link.
        const QString app = u"home/.local/share/flatpak/app/org.acme.Paint/"_s;
        const QString exported = write(
            app + u"x86_64/stable/abc/export/share/applications/org.acme.Paint.desktop"_s,
            entry("Name=Paint\nExec=/usr/bin/flatpak run --branch=stable org.acme.Paint @@u %U @@\n"
                  "X-Flatpak=org.acme.Paint\nIcon=org.acme.Paint"));
        sandbox.symlink(u"x86_64/stable"_s, app + u"current"_s);
        sandbox.symlink(u"abc"_s, app + u"x86_64/stable/active"_s);
        write(app + u"x86_64/stable/abc/files/share/metainfo/org.acme.Paint.metainfo.xml"_s,
              "<component><releases><release version=\"2.1\"/><release version=\"2.0\"/>"
              "</releases></component>");
        sandbox.symlink(
            exported,
            u"home/.local/share/flatpak/exports/share/applications/org.acme.Paint.desktop"_s);
        // A Snap.
        write(u"snapd/desktop/applications/sketch_sketch.desktop"_s,
              entry("Name=Sketch\nX-SnapInstanceName=sketch\nIcon=/snap/sketch/7/icon.png\n"
                    "Exec=env BAMF_DESKTOP_FILE_HINT=/x.desktop /snap/bin/sketch %U"));
        write(u"snap/sketch/current/meta/snap.yaml"_s, "name: sketch\nversion: '1.5'\n");
        // AppImages: the magic, an executable regular file, directly in a folder.
        write(u"home/Applications/Tool-1.2-x86_64.AppImage"_s, appImageHead(2), true);
        write(u"home/Applications/plain-elf"_s, appImageHead(2).replace("AI", "xx"), true);
        write(u"home/Applications/NotExecutable.AppImage"_s, appImageHead(2));
        write(u"home/Applications/Sub/Deep.AppImage"_s, appImageHead(2), true);
        sandbox.symlink(sandbox.path(u"home/Applications/Tool-1.2-x86_64.AppImage"_s),
                        u"home/.local/bin/tool"_s);
    }

    static QByteArray appImageHead(char type) {
        return QByteArray::fromHex("7f454c46020101004149") + type + QByteArray(32, '\0');
    }

    Sandbox sandbox;
    const LinuxRoots roots = sandbox.linuxRoots();
};

TEST_F(LinuxAppsTest, catalogueAppliesShadowingVisibilityAndSourcesWithTheirRecords) {
    QStringList listed;
    QMap<QString, QString> records;
    for (const AppBundle& app : LinuxApps::catalogue(roots)) {
        listed.append(app.displayName + u'|' + LinuxApps::sectionTitle(app.source));
        records[app.url.mid(sandbox.root().size())] = u"%1|%2|%3|%4|%5|%6|%7"_s.arg(
            app.bundleIdentifier.value_or(u"-"_s), app.names.join(u','), app.displayName,
            app.version.value_or(u"-"_s), app.nestedIdentifiers.join(u','), app.package, app.icon);
    }
    EXPECT_EQ(listed,
              (QStringList{u"Заметки|Ярлыки пользователя"_s,
                           u"GNU Image Manipulation Program|Пакеты Debian"_s, u"Paint|Flatpak"_s,
                           u"Present|Другие приложения"_s, u"Sketch|Snap"_s, u"Tool|AppImage"_s,
                           u"Tool Kde|Другие приложения"_s, u"Unowned|Другие приложения"_s}));
    const std::pair<QString, QString> expected[] = {
        {u"/home/.local/share/applications/org.acme.Notes.desktop"_s,
         u"org.acme.Notes|Notes,NotesWindow|Заметки|-|||notes"_s},
        {u"/usr/share/applications/gimp.desktop"_s,
         u"-|GNU Image Manipulation Program,gimp,gimp-2.10|GNU Image Manipulation Program|"
         u"2.10.34-1||gimp|gimp"_s},
        {u"/home/.local/share/flatpak/exports/share/applications/org.acme.Paint.desktop"_s,
         u"org.acme.Paint|Paint|Paint|2.1||app/org.acme.Paint/x86_64/stable|org.acme.Paint"_s},
        {u"/snapd/desktop/applications/sketch_sketch.desktop"_s,
         u"-|Sketch|Sketch|1.5||sketch|/snap/sketch/7/icon.png"_s},
    };
    for (const auto& [url, record] : expected)
        EXPECT_EQ(records.value(url), record) << url.toStdString();
}

TEST_F(LinuxAppsTest, loadsOneEntryOrAppImage) {
    const auto load = [this](const QString& relative) {
        return LinuxApps::load(sandbox.path(relative), roots);
    };
    // A hidden entry named explicitly is still an application.
    EXPECT_TRUE(load(u"usr/local/share/applications/hidden.desktop"_s));
    // A link outside the application folders is read where it leads.
    sandbox.symlink(sandbox.path(u"usr/share/applications/gimp.desktop"_s),
                    u"home/Desktop/gimp.desktop"_s);
    EXPECT_EQ(load(u"home/Desktop/gimp.desktop"_s).value().package, u"gimp"_s);
    // Flatpak's exported link is kept.
    EXPECT_EQ(load(u"home/.local/share/flatpak/exports/share/applications/org.acme.Paint.desktop"_s)
                  ->source,
              AppSource::flatpakUser);
    EXPECT_EQ(load(u"home/.local/bin/tool"_s)->url,
              sandbox.path(u"home/Applications/Tool-1.2-x86_64.AppImage"_s));
    for (const QString& other :
         {u"usr/local/share/applications/link.desktop"_s, u"home/Applications/plain-elf"_s})
        EXPECT_FALSE(load(other)) << other.toStdString();
}

TEST(LinuxAppNames, appImageNamesAndPrograms) {
    using Name = std::pair<QString, std::optional<QString>>;
    EXPECT_EQ(
        LinuxApps::appImageName(u"FreeCAD_0.21.2-2023-12-17-conda-Linux-x86_64-py310.AppImage"_s),
        Name(u"FreeCAD"_s, u"0.21.2"_s));
    EXPECT_EQ(LinuxApps::appImageName(u"Signal v6.0.appimage"_s), Name(u"Signal"_s, u"6.0"_s));
    EXPECT_EQ(LinuxApps::launchedProgram(
                  {u"env"_s, u"A=1"_s, u"-u"_s, u"VAR"_s, u"nice"_s, u"-n"_s, u"5"_s, u"foo"_s}),
              u"foo"_s);
    EXPECT_EQ(LinuxApps::launchedProgram({u"sh"_s, u"-c"_s, u"foo"_s}), std::nullopt);
    EXPECT_TRUE(LinuxApps::isIdentifier(u"python3.11"_s));
    EXPECT_FALSE(LinuxApps::isIdentifier(u"firefox"_s) || LinuxApps::isIdentifier(u"a b.c"_s));
}

} // namespace
} // namespace moss
