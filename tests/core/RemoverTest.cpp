#include "Remover.h"

#include "Sandbox.h"
#include "Wait.h"
#include "platform/FileSystem.h"
#include "platform/Trash.h"

#include <QThread>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace moss;

namespace {

using Recycle = std::function<workspace::RecycleResult(const QStringList&)>;

FoundFile found(const QString& url, qint64 size, FileCategory category = FileCategory::support) {
    return FoundFile{url, category, size, false, true};
}

} // namespace

// Stage 1 moves what it can; stage 2, on a worker thread, copies the rest;
// stage 3 asks the Finder only when stage 2 failed as a whole. The outcome and
// the sound come back to the calling thread; the sound plays when something
// went to the Trash.
TEST(RemoverTest, StagesAndWhatEachLeaves) {
    const Recycle live = [](const QStringList& urls) { return workspace::recycle(urls); };
    const Recycle keepsSecond = [](const QStringList& urls) {
        workspace::RecycleResult result;
        result.newLocations.insert(urls.at(1), u"/copy/1"_s);
        result.halfMoved.insert(urls.at(0), u"/copy/0"_s);
        result.reasons.insert(urls.at(0), trash::Error::changedWhileMoving);
        return result;
    };
    const Recycle fails = [](auto&) { return workspace::RecycleResult{{}, u"ошибка"_s}; };
    const QString notMoved = u"Не удалось переместить"_s;
    using E = trash::Error;
    const E none = E::unknown, half = E::changedWhileMoving, off = E::trashUnavailable;
    // Files by index: what stage 1 moves, what is trashed, what fails (with
    // message and reason), bytes freed, Finder calls; stage 2 and whether the
    // Finder deletes what it is asked to.
    struct Row {
        QString stageOne, trashed, failed, message;
        E reason0, reason1;
        qint64 freed;
        int finderCalls;
        Recycle recycle;
        bool finderTakes;
    };
    const Row rows[] = {
        {u"012"_s, u"012"_s, {}, {}, none, none, 123, 0, live, false},
        {u"0"_s, u"012"_s, {}, {}, none, none, 123, 0, live, false},
        {{}, u"1"_s, u"02"_s, notMoved, half, none, 20, 0, keepsSecond, false},
        {u"0"_s, u"0"_s, {}, {}, none, none, 123, 2, fails, true},
        {{}, {}, u"012"_s, u"ошибка"_s, off, off, 0, 3, fails, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(&row - rows);
        test::Sandbox sandbox;
        sandbox.activate();
        const QList<FoundFile> files = {
            found(sandbox.makeBundle(u"Applications/Foo.app"_s, test::info(u"a.b"_s)), 100,
                  FileCategory::bundle),
            found(sandbox.writeFile(u"home/Library/Caches/com.foo \"q\" \\b"_s, "c"), 20),
            found(sandbox.writeFile(u"home/Library/Logs/Foo.log"_s, "l"), 3)};
        const auto pick = [&](const QString& indices) {
            QStringList out;
            for (QChar i : indices)
                out.append(files[i.digitValue()].url);
            return out;
        };
        RemovalServices services = RemovalServices::live();
        services.trashItem = [&, live = services.trashItem](const QString& url) {
            return pick(row.stageOne).contains(url) ? live(url) : std::nullopt;
        };
        QThread* recycleThread = nullptr;
        services.recycle = [&](const QStringList& urls) {
            recycleThread = QThread::currentThread();
            return row.recycle(urls);
        };
        int finderCalls = 0;
        services.runFinderScript = [&](const QString& script) {
            ++finderCalls;
            for (const FoundFile& file : files) {
                if (row.finderTakes && script == Remover::finderDeleteScript(file.url))
                    return fs::moveNoReplace(file.url, file.url + u".gone"_s);
            }
            return false;
        };
        services.bootoutLaunchAgent = [](const QString&) {};
        QList<QThread*> soundThreads;
        services.playTrashSound = [&] { soundThreads.append(QThread::currentThread()); };

        const RemovalResult result = test::await(Remover::moveToTrash(files, services));

        const QStringList trashed = pick(row.trashed), failed = pick(row.failed);
        EXPECT_EQ(result.trashed.keys(), trashed);
        EXPECT_EQ(result.failed.keys(), failed);
        for (qsizetype i = 0; i < failed.size(); ++i) {
            EXPECT_EQ(result.failed.value(failed[i]), row.message);
            EXPECT_EQ(result.reasons.value(failed[i]),
                      make_error_code(i ? row.reason1 : row.reason0));
        }
        // The half-moved item that stage 2 made up is passed on.
        EXPECT_EQ(result.halfMoved.keys(),
                  row.reason0 == half ? QStringList{files[0].url} : QStringList());
        EXPECT_EQ(result.freedBytes, row.freed);
        EXPECT_EQ(finderCalls, row.finderCalls);
        EXPECT_EQ(soundThreads.size(), row.trashed.isEmpty() ? 0 : 1);
        EXPECT_EQ(soundThreads.value(0, QThread::currentThread()), QThread::currentThread());
        EXPECT_EQ(recycleThread == nullptr, row.stageOne.size() == 3);
        EXPECT_NE(recycleThread, QThread::currentThread());
    }
}

// Each item is handled once; the user's own launch agents (and only those)
// are booted out while their property lists are still in place.
TEST(RemoverTest, RepeatedItemsLaunchAgentsAndFinderScript) {
    test::Sandbox sandbox;
    sandbox.activate();
    const QString agent = sandbox.writeFile(u"home/Library/LaunchAgents/com.foo.plist"_s);
    const QString units = u"home/.config/systemd/user/"_s;
    QList<FoundFile> files = {
        found(sandbox.writeFile(u"home/Library/Preferences/com.foo.plist"_s), 7),
        found(agent, 1, FileCategory::launch),
        found(sandbox.writeFile(u"x/Library/LaunchAgents/com.foo.plist"_s), 1,
              FileCategory::launch),
        found(sandbox.writeFile(units + u"-foo.timer"_s), 1, FileCategory::launch),
        found(sandbox.writeFile(units + u"bar.service"_s), 1, FileCategory::other),
    };
    files.append(files[0]);
    // Each agent and user unit is stopped while its file is still in place.
    QStringList bootouts, stoppedUnits;
    RemovalServices services = RemovalServices::live();
    services.bootoutLaunchAgent = [&](const QString& plist) {
        if (fs::exists(plist))
            bootouts.append(plist);
    };
    services.stopUserUnit = [&](const QString& unit) {
        if (fs::exists(sandbox.path(units + unit)))
            stoppedUnits.append(unit);
    };
    services.playTrashSound = [] {};

    const RemovalResult result = test::await(Remover::moveToTrash(files, services));

    EXPECT_EQ(bootouts, QStringList{agent});
    EXPECT_EQ(stoppedUnits, QStringList{u"-foo.timer"_s});
    EXPECT_EQ(result.trashed.size(), 5);
    EXPECT_EQ(result.freedBytes, 11);

    // The Finder script names the item with quotes and backslashes escaped.
    EXPECT_EQ(Remover::finderDeleteScript(u"/a\\\"b\"\n) & x"_s),
              u"tell application \"Finder\" to delete (POSIX file \"/a\\\\\\\"b\\\"\n) & x\" as "
              u"alias)"_s);
}

// A package tool runs on a worker thread once every chosen leftover is in
// the Trash, never after one failed; its failure fails the application's row
// with what it said. A row that its package system removes fails untouched.
TEST(RemoverTest, PackageToolAfterTheLeftovers) {
    test::Sandbox sandbox;
    sandbox.activate();
    const QString folder = sandbox.makeDir(u"flatpak/app/org.acme.Paint"_s);
    const QList<FoundFile> files = {found(folder, 50, FileCategory::bundle),
                                    found(sandbox.writeFile(u"home/.var/app/org.acme.Paint"_s), 5)};
    using Way = ApplicationRemoval::Way;
    const struct {
        bool leftoverMoves;
        Way way;
        int toolRuns;
        QString failure;
    } rows[] = {
        {true, Way::tool, 1, u"flatpak завершился с кодом 1: нет"_s},
        {false, Way::tool, 0,
         u"Не удалено: сначала в Корзину должны уйти все выбранные файлы приложения"_s},
        {true, Way::elsewhere, 0, u"Его удаляет пакетный менеджер системы"_s},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.toolRuns + int(row.way));
        RemovalServices services = RemovalServices::live();
        services.trashItem = [&](const QString&) -> std::optional<QString> {
            return row.leftoverMoves ? std::optional(u"/trash/x"_s) : std::nullopt;
        };
        services.recycle = [](const QStringList&) { return workspace::RecycleResult{}; };
        services.playTrashSound = [] {};
        QList<QThread*> toolThreads;
        services.runTool = [&](const QString& program, const QStringList& arguments) {
            toolThreads.append(QThread::currentThread());
            EXPECT_EQ(program + arguments.join(u' '), u"flatpakuninstall"_s);
            return tools::ToolRun{tools::ToolRun::Outcome::failed, 1, u"нет"_s};
        };
        const ApplicationRemoval removal{
            .way = row.way, .item = folder, .program = u"flatpak"_s, .arguments = {u"uninstall"_s}};
        const RemovalResult result = test::await(Remover::remove(files, removal, services));
        EXPECT_EQ(toolThreads.size(), row.toolRuns);
        EXPECT_NE(toolThreads.value(0), QThread::currentThread());
        EXPECT_EQ(result.trashed.keys(),
                  row.leftoverMoves ? QStringList{files[1].url} : QStringList());
        EXPECT_EQ(result.failed.value(folder), row.failure);
        EXPECT_TRUE(result.uninstalled.isEmpty());
    }
}
