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

TEST(SingleInstance, ASecondStartHandsItsFilesToTheRunningInstance) {
    test::Sandbox sandbox;
    sandbox.activate();
    EXPECT_EQ(SingleInstance::socketPath(), sandbox.path(u"runtime/mossbin.socket"_s));
    EXPECT_FALSE(SingleInstance::handOver({u"/A/Foo.app"_s}));
    // A socket left behind is taken over.
    sandbox.writeFile(u"runtime/mossbin.socket"_s, "stale");
    SingleInstance running;
    ASSERT_TRUE(running.listen());
    QList<QStringList> received;
    QObject::connect(&running, &SingleInstance::filesReceived,
                     [&](const QStringList& paths) { received.append(paths); });
    // A name with a byte that is not UTF-8 arrives unchanged.
    const QString odd = fs::decodePath(QByteArray("/A/Caf\xe9 \"x\".app"));
    ASSERT_TRUE(SingleInstance::handOver({odd}));
    ASSERT_TRUE(waitFor([&] { return received.size() == 1; }));
    EXPECT_EQ(received.at(0), QStringList{odd});

    // The executable started again hands its paths over, made absolute, and ends.
    const QString bundle = sandbox.makeDir(u"home/Applications/Foo.app"_s);
    QProcess second;
    second.setProcessEnvironment(sandbox.environment());
    second.setWorkingDirectory(sandbox.home());
    second.start(QStringLiteral(MOSSBIN_EXECUTABLE),
                 {u"Applications/Foo.app"_s, u"/elsewhere/Bar.app"_s});
    ASSERT_TRUE(waitFor([&] { return second.state() == QProcess::NotRunning; }));
    EXPECT_TRUE(second.exitStatus() == QProcess::NormalExit && second.exitCode() == 0);
    ASSERT_TRUE(waitFor([&] { return received.size() == 2; }));
    EXPECT_EQ(received.at(1), (QStringList{bundle, u"/elsewhere/Bar.app"_s}));
}

} // namespace
} // namespace moss
