#include "Protection.h"

#include "LinuxApps.h"
#include "Sandbox.h"
#include "platform/FileSystem.h"
#include "platform/Workspace.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace moss;

namespace {

AppBundle bundleAt(const QString& url, std::optional<QString> identifier,
                   AppSource source = AppSource::bundle, const QString& package = {}) {
    AppBundle bundle;
    bundle.url = url;
    bundle.kind = BundleKind::Application;
    bundle.bundleIdentifier = std::move(identifier);
    bundle.source = source;
    bundle.package = package;
    bundle.displayName = u"Foo"_s;
    return bundle;
}

QSet<qint64> pidsOf(const QList<RunningApplication>& applications) {
    QSet<qint64> pids;
    for (const RunningApplication& application : applications)
        pids.insert(application.processIdentifier);
    return pids;
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
        return pidsOf(Protection::runningApplications(bundle));
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

// A Linux application's processes on a made-up process table: its entry's
// program as a file (not a name; never a launcher it leads to), its AppImage
// run or named in APPIMAGE, its Flatpak's sandbox, its Snap's files. Hostile
// entries count for nothing; another user's processes never count.
TEST(RunningApplicationsTest, LinuxApplicationsOnAProcessTable) {
    test::Sandbox sandbox;
    const LinuxRoots roots = sandbox.linuxRoots();
    const QString foo = sandbox.writeExecutable(u"bin/foo"_s, "#!/bin/sh\n");
    sandbox.makeDir(u"opt"_s);
    ::link(fs::encodePath(foo).constData(), fs::encodePath(sandbox.path(u"opt/f"_s)).constData());
    sandbox.writeExecutable(u"bin/snap"_s, "#!/bin/sh\n");
    sandbox.symlink(sandbox.path(u"bin/snap"_s), u"bin/bar"_s);
    const QString image = sandbox.writeExecutable(u"home/Applications/Foo.AppImage"_s, "x");
    const QString entry = u"home/.local/share/applications/"_s;
    const QByteArray head = "[Desktop Entry]\nType=Application\nName=Foo\nExec=";
    const AppBundle rows[] = {
        *LinuxApps::load(sandbox.writeFile(entry + u"foo.desktop"_s, head + "env A=1 foo %U"),
                         roots),
        *LinuxApps::load(sandbox.writeFile(entry + u"bar.desktop"_s, head + "bar"), roots),
        bundleAt(image, std::nullopt, AppSource::appImage),
        bundleAt(u"/x.desktop"_s, std::nullopt, AppSource::flatpakUser, u"app/org.x.Foo/a/b"_s),
        bundleAt(u"/y.desktop"_s, std::nullopt, AppSource::snap, u"foo"_s)};
    const QSet<qint64> expected[] = {{10, 11}, {}, {13, 14}, {16}, {21}};

    const auto process = [&](int pid, const QString& file, const QByteArray& contents) {
        return sandbox.writeFile(u"proc/%1/"_s.arg(pid) + file, contents);
    };
    for (const auto& [pid, target] : {std::pair(10, foo),
                                      {11, sandbox.path(u"opt/f"_s)},
                                      {12, sandbox.writeExecutable(u"opt/foo"_s, "")},
                                      {13, image + u" (deleted)"_s},
                                      {15, foo + u"x"_s},
                                      {21, sandbox.path(u"snap/foo/1/foo"_s)},
                                      {22, sandbox.path(u"bin/snap"_s)}})
        sandbox.symlink(target, u"proc/%1/exe"_s.arg(pid));
    process(14, u"environ"_s,
            QByteArray("A=1") + '\0' + "APPIMAGE=" + fs::encodePath(image) + '\0');
    process(15, u"environ"_s,
            "XAPPIMAGE=" + fs::encodePath(image) + '\0' +
                QByteArray(workspace::maxEnvironmentBytes, 'x') + '\0' +
                "APPIMAGE=" + fs::encodePath(image));
    const QByteArray flatpak = "[Application]\nname=org.x.Foo\n";
    for (const auto& [pid, info] :
         {std::pair(16, flatpak),
          {17, "[Instance]\nname=org.x.Foo\n"},
          {18, flatpak + '\0'},
          {19, flatpak + QByteArray(workspace::maxSandboxInfoBytes, '#')}})
        process(pid, u"root/.flatpak-info"_s, info);
    sandbox.makeFifo(u"proc/20/root/.flatpak-info"_s);
    if (::geteuid() == 0) { // a process of another user, running the program
        sandbox.symlink(foo, u"proc/23/exe"_s);
        ASSERT_EQ(::chown(fs::encodePath(sandbox.path(u"proc/23"_s)).constData(), 65534, 65534), 0);
    }

    for (size_t i = 0; i < std::size(rows); ++i) {
        const QList<RunningApplication> found =
            Protection::runningApplications(rows[i], roots, sandbox.path(u"proc"_s));
        EXPECT_EQ(pidsOf(found), expected[i]) << i;
        for (const RunningApplication& application : found)
            EXPECT_EQ(application.localizedName, u"Foo"_s);
    }
}

// A copy of a system program run as an AppImage is found while it runs, and
// only the process that was found receives the signal.
TEST(RunningApplicationsTest, RunningAppImageQuits) {
    test::Sandbox sandbox;
    const QString image = sandbox.path(u"home/Applications/Foo-1.0-x86_64.AppImage"_s);
    fs::makePath(fs::parentPath(image));
    QFile::copy(u"/bin/sleep"_s, image);
    QFile::setPermissions(image, QFile::ReadOwner | QFile::ExeOwner);
    QProcess process;
    process.start(image, {u"1000"_s});
    ASSERT_TRUE(process.waitForStarted(-1));
    const AppBundle app = bundleAt(image, std::nullopt, AppSource::appImage);
    const QList<RunningApplication> found = Protection::runningApplications(app);
    ASSERT_EQ(pidsOf(found), QSet<qint64>{process.processId()});
    RunningApplication later = found[0];
    later.startTime += 1; // as if the id had passed to another process
    EXPECT_FALSE(later.terminate() || later.kill());
    EXPECT_TRUE(found[0].terminate());
    EXPECT_TRUE(process.waitForFinished(-1));
    EXPECT_TRUE(Protection::runningApplications(app).isEmpty());
}
