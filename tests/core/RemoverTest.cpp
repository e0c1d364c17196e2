#include "Remover.h"

#include "Sandbox.h"
#include "Wait.h"
#include "platform/FileSystem.h"
#include "platform/Trash.h"

#include <QCoreApplication>
#include <QThread>
#include <gtest/gtest.h>
#include <memory>

using namespace Qt::StringLiterals;
using namespace moss;

namespace {

const QString kNotMoved = u"Не удалось переместить"_s;

using test::await;

struct Calls {
    int recycle = 0;
    int finder = 0;
    int sound = 0;
    QStringList bootouts;
    QStringList units;
};

// The live services, except that nothing outside the sandbox is started and
// every call is counted.
RemovalServices counted(const std::shared_ptr<Calls>& calls) {
    RemovalServices services = RemovalServices::live();
    services.recycle = [calls, live = services.recycle](const QStringList& urls) {
        ++calls->recycle;
        return live(urls);
    };
    services.runFinderScript = [calls](const QString&) {
        ++calls->finder;
        return false;
    };
    services.bootoutLaunchAgent = [calls](const QString& plist) { calls->bootouts.append(plist); };
    services.stopUserUnit = [calls](const QString& unit) { calls->units.append(unit); };
    services.playTrashSound = [calls] { ++calls->sound; };
    return services;
}

RemovalServices stageOneFails(RemovalServices services) {
    services.trashItem = [](const QString&) { return std::optional<QString>(); };
    return services;
}

FoundFile found(const QString& url, qint64 size, FileCategory category = FileCategory::support) {
    return FoundFile{url, category, size, false, true};
}

// A Finder whose delete script takes away the one of the files that it names.
std::function<bool(const QString&)> finderTakingAway(const QList<FoundFile>& files,
                                                     const test::Sandbox& sandbox) {
    return [files, &sandbox](const QString& script) {
        for (const FoundFile& file : files) {
            if (script == Remover::finderDeleteScript(file.url))
                return fs::moveNoReplace(file.url,
                                         sandbox.path(u"finder-"_s + fs::lastComponent(file.url)));
        }
        return false;
    };
}

// Every chosen item is where it was, or in a Trash with a description that
// points back to where it was; the trashed ones are where the result says.
void expectNothingLost(const QList<FoundFile>& files, const RemovalResult& result,
                       const test::Sandbox& sandbox) {
    const QString info = sandbox.home() + u"/.local/share/Trash/info"_s;
    for (const FoundFile& file : files) {
        if (fs::exists(file.url)) {
            EXPECT_FALSE(result.trashed.contains(file.url)) << file.url.toStdString();
            continue;
        }
        ASSERT_TRUE(result.trashed.contains(file.url)) << file.url.toStdString();
        EXPECT_EQ(trash::originalPath(result.trashed[file.url]), file.url);
        EXPECT_TRUE(fs::exists(result.trashed[file.url]));
    }
    EXPECT_EQ(fs::listDirectory(info).value_or(QStringList()).size(), result.trashed.size());
}

void expectAllRestored(const RemovalResult& result) {
    QStringList restored = Remover::restore(result.trashed);
    restored.sort();
    EXPECT_EQ(restored, result.trashed.keys());
    for (auto entry = result.trashed.cbegin(); entry != result.trashed.cend(); ++entry) {
        EXPECT_TRUE(fs::exists(entry.key()));
        EXPECT_FALSE(fs::exists(trash::infoPath(entry.value())));
    }
}

class RemoverTest : public ::testing::Test {
protected:
    void SetUp() override { sandbox.activate(); }

    QList<FoundFile> makeFiles() const {
        return {found(sandbox.makeBundle(u"Applications/Foo.app"_s, {{u"A"_s, u"b"_s}}), 100,
                      FileCategory::bundle),
                found(sandbox.writeFile(u"home/Library/Caches/com.foo \"q\" \\b"_s, "c"), 20),
                found(sandbox.writeFile(u"home/Library/Logs/Foo.log"_s, "l"), 3)};
    }

    test::Sandbox sandbox;
    std::shared_ptr<Calls> calls = std::make_shared<Calls>();
};

} // namespace

TEST_F(RemoverTest, EmptyListDoesNothing) {
    const RemovalResult result = await(Remover::moveToTrash({}, counted(calls)));

    EXPECT_EQ(result, RemovalResult());
    EXPECT_EQ(calls->recycle + calls->finder + calls->sound, 0);
    EXPECT_TRUE(calls->bootouts.isEmpty());
}

TEST_F(RemoverTest, FirstStageMovesEverythingAndRestoreBringsItBack) {
    const QList<FoundFile> files = makeFiles();

    const RemovalResult result = await(Remover::moveToTrash(files, counted(calls)));

    EXPECT_EQ(result.trashed.size(), 3);
    EXPECT_TRUE(result.failed.isEmpty());
    EXPECT_EQ(result.freedBytes, 123);
    EXPECT_EQ(calls->recycle, 0);
    EXPECT_EQ(calls->sound, 1);
    expectNothingLost(files, result, sandbox);
    expectAllRestored(result);
}

TEST_F(RemoverTest, SecondStageCopiesWhatTheFirstCouldNotMove) {
    const QList<FoundFile> files = makeFiles();

    QFuture<RemovalResult> future = Remover::moveToTrash(files, stageOneFails(counted(calls)));
    QThread* continuationThread = nullptr;
    const QFuture<RemovalResult> continued =
        future.then(QCoreApplication::instance(), [&](const RemovalResult& result) {
            continuationThread = QThread::currentThread();
            return result;
        });
    const RemovalResult result = await(continued);

    EXPECT_EQ(continuationThread, QCoreApplication::instance()->thread());
    EXPECT_EQ(calls->recycle, 1);
    EXPECT_EQ(result.trashed.size(), 3);
    EXPECT_EQ(result.freedBytes, 123);
    EXPECT_EQ(calls->sound, 1);
    expectNothingLost(files, result, sandbox);
    expectAllRestored(result);
}

TEST_F(RemoverTest, ItemsTheRecycleLeavesOutFail) {
    const QList<FoundFile> files = makeFiles();
    RemovalServices services = stageOneFails(counted(calls));
    services.recycle = [keep = files[1].url](const QStringList& urls) {
        return workspace::recycle(QStringList(urls).filter(keep));
    };

    const RemovalResult result = await(Remover::moveToTrash(files, services));

    EXPECT_EQ(result.trashed.keys(), QStringList{files[1].url});
    EXPECT_EQ(result.failed.value(files[0].url), kNotMoved);
    EXPECT_EQ(result.failed.value(files[2].url), kNotMoved);
    EXPECT_EQ(result.freedBytes, 20);
    EXPECT_EQ(calls->sound, 1);
    expectNothingLost(files, result, sandbox);
}

TEST_F(RemoverTest, UnusableTrashFailsEveryItemWithTheRecycleError) {
    sandbox.writeFile(u"home/.local/share/Trash"_s, "not a folder");
    const QList<FoundFile> files = makeFiles();

    const RemovalResult result = await(Remover::moveToTrash(files, counted(calls)));

    EXPECT_TRUE(result.trashed.isEmpty());
    ASSERT_EQ(result.failed.size(), 3);
    const QString message = result.failed.value(files[0].url);
    EXPECT_TRUE(message.startsWith(u"Корзина недоступна"_s)) << message.toStdString();
    for (const QString& text : result.failed)
        EXPECT_EQ(text, message);
    EXPECT_EQ(result.freedBytes, 0);
    EXPECT_EQ(calls->finder, 3);
    EXPECT_EQ(calls->sound, 0);
    for (const FoundFile& file : files)
        EXPECT_TRUE(fs::exists(file.url));
}

TEST_F(RemoverTest, FinderDeletionsCountAsFreedButCannotBeRestored) {
    const QList<FoundFile> files = makeFiles();
    RemovalServices services = counted(calls);
    services.trashItem = [first = files[0].url,
                          live = services.trashItem](const QString& url) -> std::optional<QString> {
        return url == first ? live(url) : std::nullopt;
    };
    services.recycle = [](const QStringList&) { return workspace::RecycleResult{{}, u"ошибка"_s}; };
    services.runFinderScript = finderTakingAway(files, sandbox);

    const RemovalResult result = await(Remover::moveToTrash(files, services));

    EXPECT_EQ(result.trashed.keys(), QStringList{files[0].url});
    EXPECT_TRUE(result.failed.isEmpty());
    EXPECT_EQ(result.freedBytes, 123);
    EXPECT_EQ(calls->sound, 1);
    EXPECT_FALSE(fs::exists(files[1].url));
}

TEST_F(RemoverTest, WhenOnlyTheFinderDeletesNoSoundPlays) {
    const QList<FoundFile> files = makeFiles();
    RemovalServices services = stageOneFails(counted(calls));
    services.recycle = [](const QStringList&) { return workspace::RecycleResult{{}, u"ошибка"_s}; };
    services.runFinderScript = finderTakingAway(files, sandbox);

    const RemovalResult result = await(Remover::moveToTrash(files, services));

    EXPECT_TRUE(result.trashed.isEmpty());
    EXPECT_TRUE(result.failed.isEmpty());
    EXPECT_EQ(result.freedBytes, 123);
    EXPECT_EQ(calls->sound, 0);
    for (const FoundFile& file : files)
        EXPECT_FALSE(fs::exists(file.url));
}

TEST_F(RemoverTest, AnItemListedTwiceIsHandledOnce) {
    const FoundFile file = found(sandbox.writeFile(u"twice"_s, "x"), 7);

    const RemovalResult result = await(Remover::moveToTrash({file, file}, counted(calls)));

    EXPECT_EQ(result.trashed.size(), 1);
    EXPECT_TRUE(result.failed.isEmpty());
    EXPECT_EQ(result.freedBytes, 7);
}

TEST_F(RemoverTest, StopsOnlyTheUsersOwnAgentsAndUnitsBeforeMovingThem) {
    const QString agent = sandbox.writeFile(u"home/Library/LaunchAgents/com.foo.plist"_s);
    const QString units = u"home/.config/systemd/user/"_s;
    const QList<FoundFile> files = {
        found(sandbox.writeFile(u"home/Library/Preferences/com.foo.plist"_s), 1),
        found(agent, 1, FileCategory::launch),
        found(sandbox.writeFile(u"home/Library/LaunchAgents/com.foo.PLIST"_s), 1,
              FileCategory::launch),
        found(sandbox.writeFile(u"Library/LaunchDaemons/com.foo.plist"_s), 1, FileCategory::launch),
        found(sandbox.writeFile(u"home2/Library/LaunchAgents/com.foo.plist"_s), 1,
              FileCategory::launch),
        found(sandbox.writeFile(units + u"foo.service"_s), 1, FileCategory::launch),
        found(sandbox.writeFile(units + u"-foo.timer"_s), 1, FileCategory::launch),
        found(sandbox.writeFile(units + u"foo.conf"_s), 1, FileCategory::launch),
        found(sandbox.writeFile(units + u"bar.service"_s), 1, FileCategory::other),
        found(sandbox.writeFile(u"etc/systemd/user/foo.socket"_s), 1, FileCategory::launch),
    };
    QStringList presentWhenStopped;
    RemovalServices services = counted(calls);
    services.bootoutLaunchAgent = [&](const QString& plist) {
        calls->bootouts.append(plist);
        if (fs::exists(plist))
            presentWhenStopped.append(plist);
    };
    services.stopUserUnit = [&](const QString& unit) {
        calls->units.append(unit);
        if (fs::exists(sandbox.path(units + unit)))
            presentWhenStopped.append(unit);
    };

    await(Remover::moveToTrash(files, services));

    EXPECT_EQ(calls->bootouts, QStringList{agent});
    EXPECT_EQ(calls->units, (QStringList{u"foo.service"_s, u"-foo.timer"_s}));
    EXPECT_EQ(presentWhenStopped, (QStringList{agent, u"foo.service"_s, u"-foo.timer"_s}));
}

TEST(RemoverScriptTest, EscapesHostilePathsInTheFinderScript) {
    EXPECT_EQ(Remover::finderDeleteScript(u"/A/Foo.app"_s),
              u"tell application \"Finder\" to delete (POSIX file \"/A/Foo.app\" as alias)"_s);
    EXPECT_EQ(Remover::finderDeleteScript(u"/a\\\"b\"\n) & x"_s),
              u"tell application \"Finder\" to delete (POSIX file \"/a\\\\\\\"b\\\"\n) & x\" as "
              u"alias)"_s);
}

TEST(RemoverScriptTest, FinderDeleteIsTrueOnlyWhenTheItemIsGone) {
    test::Sandbox sandbox;
    const QString item = sandbox.writeFile(u"item"_s);
    QStringList scripts;
    RemovalServices services = RemovalServices::live();
    services.runFinderScript = [&](const QString& script) {
        scripts.append(script);
        return true;
    };

    EXPECT_FALSE(Remover::finderDelete(item, services));
    EXPECT_TRUE(Remover::finderDelete(sandbox.path(u"gone"_s), services));
    EXPECT_EQ(scripts.size(), 2);

    const QString raw = sandbox.path(u"x"_s) + fs::decodePath(QByteArray("\xff"));
    EXPECT_FALSE(Remover::finderDelete(raw, services)); // not expressible in a script
    EXPECT_EQ(scripts.size(), 2);
}

TEST(RemoverRestoreTest, RestoresIntoRecreatedFoldersAndSkipsWhatItCannot) {
    test::Sandbox sandbox;
    sandbox.activate();
    const QString deep = sandbox.writeFile(u"gone/folder/item"_s, "d");
    const QString occupied = sandbox.writeFile(u"occupied"_s, "old");
    const QString emptied = sandbox.writeFile(u"emptied"_s, "e");
    QMap<QString, QString> trashed;
    for (const QString& path : {deep, occupied, emptied})
        trashed.insert(path, trash::moveToTrash(path).location);
    QDir(sandbox.path(u"gone"_s)).removeRecursively();
    sandbox.writeFile(u"occupied"_s, "new");
    ::unlink(fs::encodePath(trashed[emptied]).constData());

    EXPECT_EQ(Remover::restore(trashed), QStringList{deep});

    EXPECT_EQ(fs::readFile(deep), QByteArray("d"));
    EXPECT_EQ(fs::readFile(occupied), QByteArray("new"));
    EXPECT_EQ(trash::originalPath(trashed[occupied]), occupied);
}
