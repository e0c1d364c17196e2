#include "platform/Workspace.h"

#include "Sandbox.h"
#include "platform/FileSystem.h"

#include <QFile>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace moss;

namespace {

// A stand-in program that appends its arguments, one per line, to `log` and
// exits with `status`.
QString fakeProgram(const test::Sandbox& sandbox, const QString& name, int status = 0) {
    const QString log = sandbox.path(name + u".log"_s);
    const QString program =
        sandbox.writeFile(u"bin/"_s + name, "#!/bin/sh\nprintf '%s\\n' \"$@\" >> '" + log.toUtf8() +
                                                "'\nexit " + QByteArray::number(status) + "\n");
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return program;
}

QStringList loggedArguments(const test::Sandbox& sandbox, const QString& name) {
    const QByteArray log = fs::readFile(sandbox.path(name + u".log"_s)).value_or(QByteArray());
    return QString::fromUtf8(log).split(u'\n', Qt::SkipEmptyParts);
}

} // namespace

TEST(WorkspaceTest, FindsTheInnermostApplicationBundleOfAnExecutable) {
    using workspace::bundleOfExecutable;
    EXPECT_EQ(bundleOfExecutable(u"/Applications/Foo.app/Contents/MacOS/foo"_s),
              u"/Applications/Foo.app"_s);
    EXPECT_EQ(bundleOfExecutable(u"/A/Foo.app/Contents/Helpers/Bar.app/Contents/MacOS/bar"_s),
              u"/A/Foo.app/Contents/Helpers/Bar.app"_s);
    EXPECT_FALSE(bundleOfExecutable(u"/usr/bin/sleep"_s));
    EXPECT_FALSE(bundleOfExecutable(u"/A/Foo.app/Contents/Resources/tool"_s));
    EXPECT_FALSE(bundleOfExecutable(u"/A/.app/Contents/MacOS/x"_s));
    EXPECT_FALSE(bundleOfExecutable(QString()));
}

TEST(WorkspaceTest, ListsBundleProcessesInProcessOrder) {
    test::Sandbox sandbox;
    sandbox.symlink(u"/X/Late.app/Contents/MacOS/late"_s, u"proc/900/exe"_s);
    sandbox.symlink(u"/X/Early.app/Contents/MacOS/early"_s, u"proc/42/exe"_s);
    sandbox.symlink(u"/usr/bin/plain"_s, u"proc/43/exe"_s);
    sandbox.makeDir(u"proc/44"_s); // a process whose executable cannot be read
    sandbox.symlink(u"/X/Bogus.app/Contents/MacOS/b"_s, u"proc/self/exe"_s);

    const QList<workspace::BundleProcess> processes =
        workspace::bundleProcesses(sandbox.path(u"proc"_s));

    ASSERT_EQ(processes.size(), 2);
    EXPECT_EQ(processes[0].pid, 42);
    EXPECT_EQ(processes[0].bundlePath, u"/X/Early.app"_s);
    EXPECT_EQ(processes[0].executable, u"/X/Early.app/Contents/MacOS/early"_s);
    EXPECT_EQ(processes[1].pid, 900);
}

TEST(WorkspaceTest, BootsOutALaunchAgentWithAnArgumentVector) {
    test::Sandbox sandbox;
    const QString launchctl = fakeProgram(sandbox, u"launchctl"_s, 3);
    const QString plist = sandbox.path(u"Agent \"x\"; rm -rf $HOME.plist"_s);

    workspace::bootoutLaunchAgent(plist, launchctl);
    workspace::bootoutLaunchAgent(plist, sandbox.path(u"bin/missing"_s));

    EXPECT_EQ(loggedArguments(sandbox, u"launchctl"_s),
              QStringList({u"bootout"_s, u"gui/"_s + QString::number(::getuid()), plist}));
}

TEST(WorkspaceTest, FinderScriptFailsWithoutAScriptRunner) {
    test::Sandbox sandbox;
    const QString script = u"tell application \"Finder\" to delete x"_s;

    EXPECT_FALSE(workspace::runFinderScript(script, sandbox.path(u"bin/missing"_s)));
    EXPECT_FALSE(workspace::runFinderScript(script, fakeProgram(sandbox, u"failing"_s, 1)));
    EXPECT_TRUE(workspace::runFinderScript(script, fakeProgram(sandbox, u"osascript"_s)));
    EXPECT_EQ(loggedArguments(sandbox, u"osascript"_s), QStringList({u"-e"_s, script}));
}

TEST(WorkspaceTest, RecyclesIntoTheHomeTrashItemByItem) {
    test::Sandbox sandbox;
    sandbox.activate();
    const QString item = sandbox.writeFile(u"a/item"_s, "x");
    const QString vanished = sandbox.path(u"a/vanished"_s);

    const workspace::RecycleResult result = workspace::recycle({item, vanished});

    EXPECT_FALSE(result.error);
    ASSERT_EQ(result.newLocations.keys(), QStringList{item});
    EXPECT_EQ(fs::readFile(result.newLocations[item]), QByteArray("x"));
    EXPECT_FALSE(fs::exists(item));
}

TEST(WorkspaceTest, RecycleFailsAsAWholeWhenTheHomeTrashIsUnusable) {
    test::Sandbox sandbox;
    sandbox.activate();
    sandbox.writeFile(u"home/.local/share/Trash"_s, "not a folder");
    const QString item = sandbox.writeFile(u"a/item"_s, "x");

    const workspace::RecycleResult result = workspace::recycle({item});

    ASSERT_TRUE(result.error);
    EXPECT_TRUE(result.error->startsWith(u"Корзина недоступна"_s));
    EXPECT_TRUE(result.newLocations.isEmpty());
    EXPECT_EQ(fs::readFile(item), QByteArray("x"));
}

TEST(WorkspaceTest, SignalsRefuseProcessGroups) {
    for (const qint64 pid : {0, -1}) {
        EXPECT_FALSE(workspace::terminate(pid));
        EXPECT_FALSE(workspace::kill(pid));
    }
}
