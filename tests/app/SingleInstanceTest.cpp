// Files handed from a second start to the running instance.

#include "SingleInstance.h"

#include "Sandbox.h"
#include "Wait.h"
#include "platform/FileSystem.h"

#include <QProcess>
#include <gtest/gtest.h>

namespace moss {
namespace {

using namespace Qt::Literals::StringLiterals;
using test::waitFor;

class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override { sandbox.activate(); }
    test::Sandbox sandbox;
};

TEST_F(SingleInstanceTest, SocketLivesInTheRuntimeFolder) {
    EXPECT_EQ(SingleInstance::socketPath(), sandbox.path(u"runtime/mossbin.socket"_s));
    qunsetenv("XDG_RUNTIME_DIR");
    EXPECT_TRUE(SingleInstance::socketPath().startsWith(fs::tempPath() + u"/mossbin-"_s));
}

TEST_F(SingleInstanceTest, FilesAreHandedToTheRunningInstance) {
    EXPECT_FALSE(SingleInstance::handOver({u"/A/Foo.app"_s}));

    SingleInstance running;
    ASSERT_TRUE(running.listen());
    QList<QStringList> received;
    QObject::connect(&running, &SingleInstance::filesReceived,
                     [&](const QStringList& paths) { received.append(paths); });
    // A name with a byte that is not UTF-8 arrives unchanged.
    const QString odd = fs::decodePath(QByteArray("/A/Caf\xe9 \"x\".app"));
    ASSERT_TRUE(SingleInstance::handOver({odd, u"/B/Bar.app"_s}));
    ASSERT_TRUE(waitFor([&] { return received.size() == 1; }));
    EXPECT_EQ(received.at(0), (QStringList{odd, u"/B/Bar.app"_s}));

    ASSERT_TRUE(SingleInstance::handOver({}));
    ASSERT_TRUE(waitFor([&] { return received.size() == 2; }));
    EXPECT_EQ(received.at(1), QStringList{});
}

TEST_F(SingleInstanceTest, ASocketLeftBehindIsTakenOver) {
    sandbox.writeFile(u"runtime/mossbin.socket"_s, "stale");
    SingleInstance running;
    EXPECT_TRUE(running.listen());
}

TEST_F(SingleInstanceTest, ASecondStartHandsItsFilesOverAndEnds) {
    SingleInstance running;
    ASSERT_TRUE(running.listen());
    QList<QStringList> received;
    QObject::connect(&running, &SingleInstance::filesReceived,
                     [&](const QStringList& paths) { received.append(paths); });
    const QString bundle = sandbox.makeDir(u"home/Applications/Foo.app"_s);

    QProcess second;
    second.setProcessEnvironment(sandbox.environment());
    second.setWorkingDirectory(sandbox.home());
    second.start(QStringLiteral(MOSSBIN_EXECUTABLE),
                 {u"Applications/Foo.app"_s, u"/elsewhere/Bar.app"_s});
    ASSERT_TRUE(waitFor([&] { return second.state() == QProcess::NotRunning; }));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    ASSERT_TRUE(waitFor([&] { return received.size() == 1; }));
    EXPECT_EQ(received.at(0), (QStringList{bundle, u"/elsewhere/Bar.app"_s}));
}

} // namespace
} // namespace moss
