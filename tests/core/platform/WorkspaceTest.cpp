#include "platform/Workspace.h"

#include "Sandbox.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace moss;

// The innermost bundle of each process's executable, in process order; the
// current user's processes only.
TEST(WorkspaceTest, ProcessesHelpersAndRecycling) {
    test::Sandbox sandbox;
    sandbox.symlink(u"/X/Late.app/Contents/Helpers/In.app/Contents/MacOS/late"_s,
                    u"proc/900/exe"_s);
    sandbox.symlink(u"/X/Early.app/Contents/MacOS/early (deleted)"_s, u"proc/42/exe"_s);
    sandbox.symlink(u"/X/Foo.app/Contents/Resources/tool"_s, u"proc/43/exe"_s);
    sandbox.makeDir(u"proc/44"_s); // a process whose executable cannot be read
    sandbox.symlink(u"/X/Bogus.app/Contents/MacOS/b"_s, u"proc/self/exe"_s);
    sandbox.symlink(u"/X/Other.app/Contents/MacOS/o"_s, u"proc/45/exe"_s);
    // Another user's process, where this user may give it away.
    const bool given = ::chown(fs::encodePath(sandbox.path(u"proc/45"_s)).constData(), 1, 1) == 0;

    const QList<workspace::BundleProcess> processes =
        workspace::bundleProcesses(sandbox.path(u"proc"_s));

    ASSERT_EQ(processes.size(), given ? 2 : 3);
    EXPECT_EQ(processes[0].pid, 42);
    EXPECT_EQ(processes[0].executable, u"/X/Early.app/Contents/MacOS/early"_s);
    EXPECT_EQ(processes[0].bundlePath, u"/X/Early.app"_s);
    EXPECT_EQ(processes.last().pid, 900);
    EXPECT_EQ(processes.last().bundlePath, u"/X/Late.app/Contents/Helpers/In.app"_s);
    for (const qint64 pid : {0, -1}) // never a process group
        EXPECT_FALSE(workspace::terminate(pid, 0) || workspace::kill(pid, 0));

    // Helpers run with argument vectors, never through a shell.
    const auto program = [&](const QString& name, int status) {
        return sandbox.writeExecutable(u"bin/"_s + name,
                                       "#!/bin/sh\nprintf '%s\\n' \"$@\" >> \"$0.log\"\nexit " +
                                           QByteArray::number(status) + "\n");
    };
    const auto logged = [](const QString& path) {
        return QString::fromUtf8(fs::readFile(path + u".log"_s).value_or(""))
            .split(u'\n', Qt::SkipEmptyParts);
    };
    const QString missing = sandbox.path(u"bin/missing"_s);
    const QString plist = sandbox.path(u"Agent \"x\"; rm -rf $HOME.plist"_s);
    const QString launchctl = program(u"launchctl"_s, 3);
    workspace::bootoutLaunchAgent(plist, launchctl);
    EXPECT_EQ(logged(launchctl),
              QStringList({u"bootout"_s, u"gui/"_s + QString::number(::getuid()), plist}));
    // A user unit: the first program found in the list is used.
    const QString systemctl = program(u"systemctl"_s, 1);
    workspace::stopUserUnit(u"-x; rm $HOME.service"_s, {missing, systemctl});
    EXPECT_EQ(logged(systemctl), QStringList({u"--user"_s, u"disable"_s, u"--now"_s, u"--"_s,
                                              u"-x; rm $HOME.service"_s}));

    // Item by item into the home Trash (a reason for each that fails); as a
    // whole, with a reason, when the home Trash cannot be used.
    sandbox.activate();
    const QString vanished = sandbox.path(u"a/vanished"_s);
    EXPECT_TRUE(workspace::recycle({vanished}).reasons.contains(vanished));

    QDir(sandbox.home() + u"/.local"_s).removeRecursively();
    sandbox.writeFile(u"home/.local/share/Trash"_s, "not a folder");
    const QString other = sandbox.writeFile(u"a/other"_s, "y");
    const workspace::RecycleResult refused = workspace::recycle({other});
    EXPECT_EQ(refused.error, u"Корзина недоступна: не удалось открыть папку «%1»."_s.arg(
                                 sandbox.home() + u"/.local/share/Trash"_s));
    EXPECT_EQ(fs::readFile(other), QByteArray("y"));
    qunsetenv("XDG_DATA_HOME");
    qputenv("HOME", "relative");
    EXPECT_EQ(workspace::recycle({other}).error,
              u"Корзина недоступна: не задана домашняя папка."_s);
}
