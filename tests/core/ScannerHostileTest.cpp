// The leftover search over hostile trees: a Library that is a link, loops,
// FIFOs named like launch jobs, unreadable folders, a folder with 100 000
// entries. The scan finishes, reports what it can and never leaves the roots
// through a link.

#include "Sandbox.h"
#include "Scanner.h"
#include "platform/FileSystem.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace moss;

namespace {

class HostileTest : public ::testing::Test {
protected:
    HostileTest() {
        sandbox.makeDir(u"sys/Library"_s);
        bundle.url = sandbox.makeDir(u"home/Applications/Sketcher.app"_s);
        bundle.kind = BundleKind::Application;
        bundle.bundleIdentifier = u"com.acme.Sketcher"_s;
        bundle.names = {u"Sketcher"_s};
        bundle.displayName = u"Sketcher"_s;
    }

    QString home(const QString& relative) const { return sandbox.home() + u'/' + relative; }
    QString fifo(const QString& relative) const {
        sandbox.makeDir(fs::parentPath(relative));
        const QString path = sandbox.path(relative);
        EXPECT_EQ(::mkfifo(fs::encodePath(path).constData(), 0600), 0);
        return path;
    }
    static void setMode(const QString& path, mode_t mode) {
        ::chmod(fs::encodePath(path).constData(), mode);
    }

    QList<FoundFile> search() const {
        Scanner scanner(SearchRoots{sandbox.home(), {sandbox.path(u"sys"_s)}, {}});
        scanner.installerSource = [](const QStringList&, const QString&) { return QStringList(); };
        return scanner.relatedFiles(bundle, {}, false);
    }
    // Every reported path lies below the sandbox and none passes through a
    // link to a folder outside it.
    void expectInside(const QList<FoundFile>& files) const {
        for (const FoundFile& file : files) {
            EXPECT_TRUE(file.url.startsWith(sandbox.root() + u'/')) << file.url.toStdString();
            EXPECT_TRUE(
                fs::resolvingSymlinks(fs::parentPath(file.url)).startsWith(sandbox.root() + u'/'))
                << file.url.toStdString();
        }
    }
    static QStringList urls(const QList<FoundFile>& files) {
        QStringList out;
        for (const FoundFile& file : files)
            out.append(file.url);
        return out;
    }

    test::Sandbox sandbox;
    AppBundle bundle;
};

} // namespace

TEST_F(HostileTest, AWholeLibraryThatIsALinkOutsideIsListedThroughItsOwnPath) {
    sandbox.writeFile(u"elsewhere/Library/Preferences/com.acme.Sketcher.plist"_s);
    sandbox.makeDir(u"home"_s);
    sandbox.symlink(sandbox.path(u"elsewhere/Library"_s), u"home/Library"_s);
    const QList<FoundFile> files = search();
    EXPECT_TRUE(urls(files).contains(home(u"Library/Preferences/com.acme.Sketcher.plist"_s)));
    for (const FoundFile& file : files)
        EXPECT_FALSE(file.url.contains(u"elsewhere"_s)) << file.url.toStdString();
}

TEST_F(HostileTest, LinksToMatchingTreesOutsideAreReportedAsLinksAndNeverEntered) {
    sandbox.writeFile(u"outside/com.acme.Sketcher/com.acme.Sketcher.plist"_s, "x");
    sandbox.writeFile(u"outside/com.acme.Sketcher/Sketcher/deep"_s, QByteArray(1 << 20, 'x'));
    const QString link = sandbox.symlink(sandbox.path(u"outside/com.acme.Sketcher"_s),
                                         u"home/Library/Caches/com.acme.Sketcher"_s);
    sandbox.symlink(sandbox.path(u"outside"_s), u"home/Library/Application Support/Sketcher"_s);
    sandbox.symlink(u"/"_s, u"home/Library/Logs/Sketcher"_s);
    sandbox.symlink(u"com.acme.Sketcher.loop"_s, u"home/Library/Logs/com.acme.Sketcher.loop"_s);

    const QList<FoundFile> files = search();
    expectInside(files);
    EXPECT_TRUE(urls(files).contains(link));
    for (const FoundFile& file : files)
        EXPECT_LT(file.size, 64 * 1024) << file.url.toStdString();
}

TEST_F(HostileTest, FifosNamedLikeLaunchJobsNeverHangTheScan) {
    const QString own = fifo(u"home/Library/LaunchAgents/com.acme.Sketcher.plist"_s);
    const QString other = fifo(u"home/Library/LaunchAgents/com.other.helper.plist"_s);
    fifo(u"sys/Library/LaunchDaemons/com.other.daemon.plist"_s);
    fifo(u"home/Library/Preferences/com.acme.Sketcher.plist"_s);
    fifo(u"home/Library/Application Support/Sketcher"_s);

    const QList<FoundFile> files = search();
    EXPECT_FALSE(urls(files).contains(other));
    Scanner scanner(SearchRoots{sandbox.home(), {}, {}});
    EXPECT_FALSE(scanner.launchdMentions(other, Matcher(bundle), bundle.url));
    EXPECT_FALSE(scanner.launchdMentions(own, Matcher(bundle), bundle.url));
    expectInside(files);
}

TEST_F(HostileTest, UnreadableFoldersAreSkippedAndTheRestIsReported) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "the superuser reads every folder";
    const QString prefs = sandbox.writeFile(u"home/Library/Preferences/com.acme.Sketcher.plist"_s);
    const QString agents = sandbox.makeDir(u"home/Library/LaunchAgents"_s);
    sandbox.writeFile(u"home/Library/LaunchAgents/com.other.plist"_s);
    const QString support = sandbox.makeDir(u"home/Library/Application Support"_s);
    setMode(agents, 0);
    setMode(support, 0111);
    const QList<FoundFile> files = search();
    setMode(agents, 0755);
    setMode(support, 0755);
    EXPECT_TRUE(urls(files).contains(prefs));
}

TEST_F(HostileTest, AFolderOf100000EntriesIsScannedToTheEnd) {
    const QString caches = sandbox.makeDir(u"home/Library/Caches"_s);
    for (int i = 0; i < 100000; ++i) {
        const QByteArray name = fs::encodePath(caches + u"/entry-"_s + QString::number(i));
        const int fd = ::open(name.constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }
    const QString last = sandbox.writeFile(u"home/Library/Caches/com.acme.Sketcher"_s);
    const QList<FoundFile> files = search();
    EXPECT_EQ(urls(files), (QStringList{bundle.url, last}));
}
