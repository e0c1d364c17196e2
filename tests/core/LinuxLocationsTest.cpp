// The Linux locations: roots from the environment, the rows' folders and
// judged names, the paths never offered, and the mention tests.

#include "LinuxLocations.h"

#include "Printers.h"
#include "Sandbox.h"

#include <gtest/gtest.h>

namespace moss {
namespace {

using namespace Qt::StringLiterals;
using namespace LinuxLocations;
using Rule = LinuxLocation::Rule;
using test::Sandbox;

const LinuxLocation& row(Rule rule, const QString& path = {}) {
    for (const LinuxLocation& location : table()) {
        if (location.rule == rule && (path.isEmpty() || location.path == path))
            return location;
    }
    return table().first();
}

TEST(LinuxRootsTest, fromTheEnvironment) {
    Sandbox sandbox;
    sandbox.activate();
    const QByteArray dataDirs = qgetenv("XDG_DATA_DIRS");
    qputenv("XDG_STATE_HOME", "relative/state");
    qputenv("XDG_DATA_DIRS", "/opt/share/:relative:/usr/share::/opt/share");
    const LinuxRoots roots = LinuxRoots::live();
    qunsetenv("XDG_STATE_HOME");
    qputenv("XDG_DATA_DIRS", dataDirs);
    EXPECT_EQ(roots.stateHome, sandbox.home() + u"/.local/state"_s); // relative: ignored
    EXPECT_EQ(roots.dataDirs, (QStringList{u"/opt/share"_s, u"/usr/share"_s}));
    EXPECT_EQ(roots.applicationFolders(),
              (QStringList{sandbox.home() + u"/.local/share/applications"_s,
                           u"/opt/share/applications"_s, u"/usr/share/applications"_s,
                           sandbox.home() + u"/.local/share/flatpak/exports/share/applications"_s,
                           sandbox.path(u"flatpak/exports/share/applications"_s),
                           u"/var/lib/snapd/desktop/applications"_s}));
}

TEST(LinuxLocationsTest, foldersJudgedNamesAndWhatIsNeverOffered) {
    Sandbox sandbox;
    const LinuxRoots roots = sandbox.linuxRoots();
    for (const char* size : {"16x16", "scalable"})
        sandbox.makeDir(u"home/.local/share/icons/hicolor/"_s + QString::fromLatin1(size));
    sandbox.writeFile(u"home/.local/share/icons/hicolor/index.theme"_s);
    QStringList icons = folders(row(Rule::idOrName, u"icons/hicolor/*/apps"_s), roots);
    icons.sort();
    EXPECT_EQ(icons, (QStringList{roots.dataHome + u"/icons/hicolor/16x16/apps"_s,
                                  roots.dataHome + u"/icons/hicolor/scalable/apps"_s}));

    const std::tuple<const LinuxLocation&, QString, std::optional<QString>> cases[] = {
        {row(Rule::dotEntry), u".thunderbird"_s, u"thunderbird"_s},
        {row(Rule::dotEntry), u"Documents"_s, std::nullopt},
        {row(Rule::idOrName, u"applications"_s), u"org.a.B.desktop"_s, u"org.a.B"_s},
        {row(Rule::installers), u"Foo-1.2.tar.xz"_s, u"Foo-1.2"_s},
    };
    for (const auto& [location, entry, judged] : cases)
        EXPECT_EQ(judgedName(location, entry), judged) << entry.toStdString();

    // The paths never offered.
    const QString home = roots.home;
    sandbox.writeFile(u"home/.config/user-dirs.dirs"_s,
                      "# comment\nXDG_DESKTOP_DIR=\"$HOME/Рабочий стол\"\n"
                      "XDG_MUSIC_DIR=\"/srv/music\"\nXDG_BAD_DIR=relative\n");
    const NeverOffered never(roots);
    for (const QString& path :
         {home, home + u"/Рабочий стол"_s, roots.configHome, home + u"/.ssh/id_ed25519"_s,
          roots.configHome + u"/autostart"_s, roots.dataHome + u"/keyrings/login.keyring"_s})
        EXPECT_TRUE(never.contains(path)) << path.toStdString();
    for (const QString& path :
         {home + u"/.sshkeys"_s, roots.configHome + u"/autostart/foo.desktop"_s})
        EXPECT_FALSE(never.contains(path)) << path.toStdString();
}

TEST(LinuxLocationsTest, mentions) {
    const MentionKeys keys{{u"/opt/foo/foo"_s, u"foo-bin"_s, u"/home/u/Apps/Foo.AppImage"_s},
                           {u"org.acme.Foo"_s}};
    const std::tuple<Rule, QByteArray, bool> mentionCases[] = {
        {Rule::autostart, "[Desktop Entry]\nExec=/opt/foo/foo --tray\n", true},
        {Rule::autostart, "[Desktop Entry]\nExec=flatpak run ORG.acme.foo\n", true},
        {Rule::autostart, "[Desktop Entry]\nExec=sh -c foo-bin\n", false},
        {Rule::userUnit, "[Service]\nExecStart=-%h/Apps/Foo.AppImage --daemon\n", true},
        {Rule::userUnit, "[Service]\nExecStartPre=/bin/true\nExecStart=/usr/bin/env \\\n foo-bin\n",
         true},
        {Rule::userUnit, "[Service]\n#ExecStart=foo-bin\nExecStart=\"/opt/other/x\" foo-bin\n",
         false},
        {Rule::nativeMessaging, R"({"path":"/home/u/.var/app/org.acme.Foo/host"})", true},
        {Rule::nativeMessaging, R"({"path":["/opt/foo/foo"]})", false},
    };
    for (const auto& [rule, data, mentions] : mentionCases) {
        const bool found = rule == Rule::autostart  ? autostartMentions(data, keys)
                           : rule == Rule::userUnit ? unitMentions(data, keys, u"/home/u"_s)
                                                    : manifestMentions(data, keys);
        EXPECT_EQ(found, mentions) << data.toStdString();
    }

    EXPECT_EQ(triggeredUnit(u"a.socket"_s, "[Socket]\nUnit = b.service\n"), u"b.service"_s);
    EXPECT_EQ(triggeredUnit(u"a.service"_s, "[Service]\nUnit=b\n"), std::nullopt);

    // The file's own rule, read from disk; other rules read nothing.
    Sandbox sandbox;
    const QString unit = sandbox.writeFile(u"foo.service"_s, "[Service]\nExecStart=/opt/foo/foo\n");
    const LinuxRoots roots = sandbox.linuxRoots();
    EXPECT_TRUE(fileMentions(unit, Rule::userUnit, keys, roots));
    EXPECT_FALSE(fileMentions(unit, Rule::idOrName, keys, roots));
    // A file over 1 MiB is not read at all.
    const QByteArray huge = "[Service]\nExecStart=/opt/foo/foo\n#" + QByteArray(1 << 20, 'x');
    EXPECT_FALSE(fileMentions(sandbox.writeFile(u"big.service"_s, huge.left((1 << 20) + 1)),
                              Rule::userUnit, keys, roots));
}

} // namespace
} // namespace moss
