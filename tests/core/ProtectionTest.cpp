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

} // namespace

// System folders whatever the identifier; the vendor's own bundles where they
// can be neither deleted nor written (a sealed volume); the user's list by
// whole identifiers ignoring case. Mossbin protects itself by default.
TEST(ProtectionTest, StatusOfABundle) {
    test::Sandbox sandbox;
    const QString safari = sandbox.makeBundle(u"Applications/Safari.app"_s, {});
    // The link's parent resolves into /System, which cannot be written here.
    const QString sealed = sandbox.symlink(u"/System/Applications"_s, u"sealed"_s);
    const QSet<QString> listed = {u"COM.APPLE.SAFARI"_s, u"org.a"_s};
    const std::tuple<QString, std::optional<QString>, ProtectionStatus> rows[] = {
        {u"/System/Applications/Calculator.app"_s, u"x.y"_s, ProtectionStatus::System},
        {safari, u"com.apple.Safari"_s, ProtectionStatus::UserProtected},
        {safari, u"com.apple.Saf"_s, ProtectionStatus::None},
        {sealed + u"/Mail.app"_s, u"com.apple.mail"_s, ProtectionStatus::System},
        {sealed + u"/Other.app"_s, u"org.other"_s, ProtectionStatus::None},
    };
    for (const auto& [url, identifier, status] : rows)
        EXPECT_EQ(Protection::status(bundleAt(url, identifier), listed), status);
    EXPECT_FALSE(Protection::defaultProtected().last().startsWith(u"com.apple."_s));
}

// Real processes started from copies of a system program placed inside a
// sandbox application bundle and a helper bundle nested in it.
TEST(RunningApplicationsTest, FoundByIdentifierOrLocationAndTerminated) {
    test::Sandbox sandbox;
    // Unique to this test process: test runs may overlap.
    const QString identifier =
        u"com.example.Foo"_s + QString::number(QCoreApplication::applicationPid());
    const QString app =
        sandbox.makeBundle(u"Applications/Foo.app"_s, {{u"CFBundleIdentifier"_s, identifier},
                                                       {u"CFBundleExecutable"_s, u"foo"_s}});
    const QString helper = app + u"/Contents/Helpers/Helper.app"_s;
    const auto start = [](const QString& executable) {
        fs::makePath(fs::parentPath(executable));
        QFile::copy(u"/bin/sleep"_s, executable);
        QFile::setPermissions(executable, QFile::ReadOwner | QFile::ExeOwner);
        auto process = std::make_unique<QProcess>();
        process->start(executable, {u"1000"_s});
        EXPECT_TRUE(process->waitForStarted(-1));
        return process;
    };
    const std::unique_ptr<QProcess> main = start(app + u"/Contents/MacOS/foo"_s);
    const std::unique_ptr<QProcess> other = start(helper + u"/Contents/MacOS/helper"_s);
    const auto pids = [](const AppBundle& bundle) {
        QSet<qint64> found;
        for (const RunningApplication& application : Protection::runningApplications(bundle))
            found.insert(application.processIdentifier);
        return found;
    };
    AppBundle suite = bundleAt(u"/elsewhere/Suite.app"_s, u"org.suite"_s);
    suite.nestedIdentifiers = {identifier.toUpper()};
    EXPECT_EQ(pids(bundleAt(u"/elsewhere/Copy.app"_s, identifier.toUpper())),
              QSet<qint64>{main->processId()});
    EXPECT_EQ(pids(suite), QSet<qint64>{main->processId()});
    EXPECT_EQ(pids(bundleAt(app, std::nullopt)),
              (QSet<qint64>{main->processId(), other->processId()}));

    const QList<RunningApplication> helpers =
        Protection::runningApplications(bundleAt(helper, std::nullopt));
    ASSERT_EQ(helpers.size(), 1);
    EXPECT_TRUE(helpers[0].terminate());
    other->waitForFinished(-1);
    EXPECT_EQ(other->exitStatus(), QProcess::CrashExit);
    EXPECT_EQ(main->state(), QProcess::Running); // QProcess ends it on destruction
}
