#include "Protection.h"

#include "Sandbox.h"
#include "platform/FileSystem.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>
#include <memory>

using namespace Qt::StringLiterals;
using namespace moss;

namespace {

AppBundle bundleAt(const QString& url, std::optional<QString> identifier) {
    AppBundle bundle;
    bundle.url = url;
    bundle.kind = BundleKind::Application;
    bundle.bundleIdentifier = std::move(identifier);
    return bundle;
}

QSet<QString> defaults() {
    const QStringList& list = Protection::defaultProtected();
    return {list.begin(), list.end()};
}

} // namespace

TEST(ProtectionTest, DefaultListEndsWithMossbinItself) {
    const QStringList& list = Protection::defaultProtected();
    ASSERT_EQ(list.size(), 8);
    EXPECT_EQ(list.first(), u"com.apple.finder"_s);
    EXPECT_EQ(list[6], u"com.apple.dock"_s);
    EXPECT_FALSE(list.last().isEmpty());
    EXPECT_FALSE(list.last().startsWith(u"com.apple."_s));
    EXPECT_EQ(list.first(7),
              (QStringList{u"com.apple.finder"_s, u"com.apple.Safari"_s, u"com.apple.AppStore"_s,
                           u"com.apple.systempreferences"_s, u"com.apple.Terminal"_s,
                           u"com.apple.mail"_s, u"com.apple.dock"_s}));
}

TEST(ProtectionTest, SystemFoldersAreSystemWhateverTheIdentifier) {
    EXPECT_EQ(Protection::status(bundleAt(u"/System/Applications/Calculator.app"_s, u"x.y"_s), {}),
              ProtectionStatus::System);
    EXPECT_EQ(Protection::status(bundleAt(u"/Library/Apple/Tool.app"_s, std::nullopt), {}),
              ProtectionStatus::System);
}

TEST(ProtectionTest, UserListIsCaseInsensitiveAndExact) {
    test::Sandbox sandbox;
    const QString safari = sandbox.makeBundle(u"Applications/Safari.app"_s, {});
    const AppBundle bundle = bundleAt(safari, u"com.apple.Safari"_s);

    EXPECT_EQ(Protection::status(bundle, defaults()), ProtectionStatus::UserProtected);
    EXPECT_EQ(Protection::status(bundle, {u"COM.APPLE.SAFARI"_s}), ProtectionStatus::UserProtected);
    EXPECT_EQ(Protection::status(bundle, {u"com.apple.Saf"_s}), ProtectionStatus::None);
    EXPECT_EQ(Protection::status(bundle, {}), ProtectionStatus::None);
    EXPECT_EQ(Protection::status(bundleAt(safari, std::nullopt), defaults()),
              ProtectionStatus::None);
}

TEST(ProtectionTest, PlatformBundleOnASealedVolumeThatCannotBeDeletedIsSystem) {
    test::Sandbox sandbox;
    // The link's parent resolves into /System, which cannot be written here.
    const QString link = sandbox.symlink(u"/System/Applications"_s, u"sealed"_s);
    const AppBundle sealed = bundleAt(link + u"/Mail.app"_s, u"com.apple.mail"_s);

    EXPECT_TRUE(Protection::isOnSealedVolume(sealed.url));
    EXPECT_EQ(Protection::status(sealed, {}), ProtectionStatus::System);
    EXPECT_EQ(Protection::status(bundleAt(link + u"/Other.app"_s, u"org.other"_s), {}),
              ProtectionStatus::None);
}

TEST(ProtectionTest, WritableOrMissingLocationsAreNotSealed) {
    test::Sandbox sandbox;
    EXPECT_FALSE(Protection::isOnSealedVolume(sandbox.makeDir(u"Applications/Foo.app"_s)));
    EXPECT_FALSE(Protection::isOnSealedVolume(sandbox.path(u"missing/Foo.app"_s)));
}

// Real processes started from copies of a system program placed inside a
// sandbox application bundle and a helper bundle nested in it.
class RunningApplicationsTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Unique to this test process: test runs may overlap.
        identifier = u"com.example.Foo"_s + QString::number(QCoreApplication::applicationPid());
        app = sandbox.makeBundle(u"Applications/Foo.app"_s, {{u"CFBundleIdentifier"_s, identifier},
                                                             {u"CFBundleExecutable"_s, u"foo"_s}});
        helper = app + u"/Contents/Helpers/Helper.app"_s;
        mainProcess = start(app + u"/Contents/MacOS/foo"_s);
        helperProcess = start(helper + u"/Contents/MacOS/helper"_s);
    }
    void TearDown() override {
        for (QProcess* process : {mainProcess.get(), helperProcess.get()}) {
            process->kill();
            process->waitForFinished(-1);
        }
    }
    std::unique_ptr<QProcess> start(const QString& executable) {
        fs::makePath(fs::parentPath(executable));
        QFile::copy(u"/bin/sleep"_s, executable);
        QFile::setPermissions(executable, QFile::ReadOwner | QFile::ExeOwner);
        auto process = std::make_unique<QProcess>();
        process->start(executable, {u"1000"_s});
        EXPECT_TRUE(process->waitForStarted(-1));
        return process;
    }

    test::Sandbox sandbox;
    QString identifier;
    QString app;
    QString helper;
    std::unique_ptr<QProcess> mainProcess;
    std::unique_ptr<QProcess> helperProcess;
};

TEST_F(RunningApplicationsTest, FindsTheApplicationByIdentifierAnywhere) {
    const QList<RunningApplication> found =
        Protection::runningApplications(bundleAt(u"/elsewhere/Copy.app"_s, identifier.toUpper()));

    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found[0].processIdentifier, mainProcess->processId());
    EXPECT_EQ(found[0].bundleIdentifier, identifier);
    EXPECT_EQ(found[0].bundleURL, app);
}

TEST_F(RunningApplicationsTest, FindsAHelperByANestedIdentifier) {
    AppBundle suite = bundleAt(u"/elsewhere/Suite.app"_s, u"org.suite"_s);
    suite.nestedIdentifiers = {identifier.toUpper()};

    const QList<RunningApplication> found = Protection::runningApplications(suite);

    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found[0].processIdentifier, mainProcess->processId());
}

TEST_F(RunningApplicationsTest, FindsEverythingRunningFromInsideTheBundle) {
    const QList<RunningApplication> found =
        Protection::runningApplications(bundleAt(app, std::nullopt));

    QList<qint64> pids;
    for (const RunningApplication& application : found)
        pids.append(application.processIdentifier);
    std::sort(pids.begin(), pids.end());
    QList<qint64> expected = {mainProcess->processId(), helperProcess->processId()};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(pids, expected);
    EXPECT_TRUE(Protection::runningApplications(bundleAt(app + u"x"_s, u"org.none"_s)).isEmpty());
}

TEST_F(RunningApplicationsTest, TerminateAsksTheProcessToQuit) {
    const QList<RunningApplication> found =
        Protection::runningApplications(bundleAt(helper, std::nullopt));
    ASSERT_EQ(found.size(), 1);
    EXPECT_FALSE(found[0].bundleIdentifier);

    EXPECT_TRUE(found[0].terminate());

    helperProcess->waitForFinished(-1);
    EXPECT_EQ(helperProcess->exitStatus(), QProcess::CrashExit);
    EXPECT_EQ(mainProcess->state(), QProcess::Running);
}
