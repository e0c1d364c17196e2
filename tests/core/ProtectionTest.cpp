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
// sandbox application bundle, a helper bundle nested in it, and an AppImage.
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
    const AppBundle image =
        bundleAt(sandbox.path(u"Foo-1.0-x86_64.AppImage"_s), std::nullopt, AppSource::appImage);
    const std::unique_ptr<QProcess> running = start(image.url);
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
    RunningApplication later = helpers[0];
    later.startTime += 1; // as if the id had passed to another process
    EXPECT_FALSE(later.terminate() || later.kill());
    EXPECT_TRUE(helpers[0].terminate());
    other->waitForFinished(-1);
    EXPECT_EQ(other->exitStatus(), QProcess::CrashExit);
    EXPECT_EQ(main->state(), QProcess::Running); // QProcess ends it on destruction

    // A Linux application's, found while it runs only.
    EXPECT_EQ(pids(image), QSet<qint64>{running->processId()});
    running->kill();
    running->waitForFinished(-1);
    EXPECT_TRUE(pids(image).isEmpty());
}

// A Linux application's processes on a made-up process table: its entry's
// program as a file (not a name; never a launcher it leads to), its AppImage
// run or named in APPIMAGE, its Flatpak's sandbox, its Snap's files. Hostile
// entries count for nothing.
TEST(RunningApplicationsTest, LinuxApplicationsOnAProcessTable) {
    test::Sandbox sandbox;
    const LinuxRoots roots = sandbox.linuxRoots();
    const QString foo = sandbox.writeExecutable(u"bin/foo"_s, "#!/bin/sh\n");
    const QString snap = sandbox.symlink(sandbox.writeExecutable(u"bin/snap"_s, ""), u"bin/bar"_s);
    const QString image = sandbox.writeExecutable(u"Foo.AppImage"_s, "x");
    const QByteArray imagePath = fs::encodePath(image), flatpak = "[Application]\nname=org.x.Foo\n";
    ::link(fs::encodePath(foo).constData(), fs::encodePath(sandbox.path(u"f"_s)).constData());
    const auto entry = [&](const QString& name, const QByteArray& exec) {
        return *LinuxApps::load(
            sandbox.writeFile(u"home/.local/share/applications/"_s + name,
                              "[Desktop Entry]\nType=Application\nExec=" + exec),
            roots);
    };
    const std::pair<AppBundle, QSet<qint64>> rows[] = {
        {entry(u"foo.desktop"_s, "env A=1 foo %U"), {10, 11}},
        {entry(u"bar.desktop"_s, "bar"), {}}, // bar is snap, a launcher
        {bundleAt(image, {}, AppSource::appImage), {13, 14}},
        {bundleAt({}, {}, AppSource::flatpakUser, u"app/org.x.Foo/a/b"_s), {16}},
        {bundleAt({}, {}, AppSource::snap, u"foo"_s), {21}}};
    for (const auto& [pid, target] : {std::pair(10, foo),
                                      {11, sandbox.path(u"f"_s)},
                                      {12, sandbox.writeFile(u"a/foo"_s)},
                                      {13, image},
                                      {15, foo + u"x"_s},
                                      {21, sandbox.path(u"snap/foo/1/foo"_s)},
                                      {22, snap}})
        sandbox.symlink(target, u"proc/%1/exe"_s.arg(pid));
    for (const auto& [path, contents] :
         {std::pair(u"14/environ"_s, QByteArray("A=1") + '\0' + "APPIMAGE=" + imagePath + '\0'),
          {u"15/environ"_s, "XAPPIMAGE=" + imagePath +
                                QByteArray(workspace::maxEnvironmentBytes, '\0') +
                                "APPIMAGE=" + imagePath + '\0'},
          {u"16/root/.flatpak-info"_s, flatpak},
          {u"17/root/.flatpak-info"_s, "[Instance]\nname=org.x.Foo\n"},
          {u"18/root/.flatpak-info"_s, flatpak + '\0'},
          {u"19/root/.flatpak-info"_s, flatpak + QByteArray(workspace::maxSandboxInfoBytes, '#')}})
        sandbox.writeFile(u"proc/"_s + path, contents);
    sandbox.makeFifo(u"proc/20/root/.flatpak-info"_s);

    for (const auto& [app, pids] : rows) {
        QSet<qint64> found;
        for (const RunningApplication& running :
             Protection::runningApplications(app, roots, sandbox.path(u"proc"_s)))
            found.insert(running.processIdentifier);
        EXPECT_EQ(found, pids) << app.url.toStdString();
    }
}
