// Removal and restore under injected faults, in rounds over a sandbox of
// hundreds of items of every kind: odd names, links to outside, read-only
// parents, items that vanish before removal and Trash stages that fail at
// random. After every round no byte is lost: each chosen item is exactly where
// it was or in a Trash with a description that points back to it, and restore
// brings back every trashed item as it was.

#include "Remover.h"
#include "Sandbox.h"
#include "Trees.h"
#include "Wait.h"
#include "platform/FileSystem.h"
#include "platform/Trash.h"

#include <QRandomGenerator>
#include <QScopeGuard>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace moss;
using test::fingerprint;

namespace {

// Names that are hard to carry: quotes, backslashes, line breaks, invalid
// UTF-8 (as lone surrogates), spaces and non-ASCII letters.
QString oddName(int i) {
    static const QString forms[] = {u"quote\"%1'"_s, u"back\\slash\\%1"_s, u"line\nbreak %1"_s,
                                    u" пробел %1 "_s, u"-dash-%1"_s};
    return i % 9 == 8 ? fs::decodePath("bad\xff\xfe-utf8-" + QByteArray::number(i))
                      : forms[i % std::size(forms)].arg(i);
}

} // namespace

TEST(RemoverFaultTest, NoByteIsLostOverRoundsOfRemovalAndRestore) {
    test::Sandbox sandbox;
    sandbox.activate();
    QRandomGenerator random(20240917);
    const QString target = sandbox.writeFile(u"outside/target"_s, "never moved");
    const QString outside = fs::parentPath(target);
    QStringList readOnly, items;
    const auto cleanup = qScopeGuard([&] {
        for (const QString& folder : std::as_const(readOnly))
            ::chmod(fs::encodePath(folder).constData(), 0755);
    });

    // Items of six kinds: files, folders with a link outside, links to a
    // file or a folder outside, dangling links, files below read-only parents.
    for (int i = 0; i < 300; ++i) {
        const QString item = u"home/Library/Application Support/Victims/"_s + oddName(i);
        if (i % 6 == 2) {
            sandbox.writeFile(item + u"/inner/"_s + oddName(i + 1), QByteArray::number(i));
            sandbox.symlink(target, item + u"/inner/link"_s);
        } else if (i % 6 == 3 || i % 6 == 4) {
            sandbox.symlink(i % 6 == 4 ? u"../dangling/nowhere"_s
                                       : (i % 4 == 1 ? target : sandbox.makeDir(u"outside/dir"_s)),
                            item);
        } else if (i % 6 == 5) {
            readOnly.append(sandbox.makeDir(item + u"-ro"_s));
            items.append(sandbox.writeFile(item + u"-ro/kept"_s, QByteArray(300, 'r')));
            ::chmod(fs::encodePath(readOnly.last()).constData(), 0555);
            continue;
        } else {
            sandbox.writeFile(item, QByteArray(int(random.bounded(20000)), char('a' + i % 26)));
        }
        items.append(sandbox.path(item));
    }
    QMap<QString, QString> initial; // item -> fingerprint
    for (const QString& item : std::as_const(items))
        initial.insert(item, fingerprint(item));
    const QString outsideBefore = fingerprint(outside);

    // Trash stages that fail now and then.
    RemovalServices faulty = RemovalServices::live();
    faulty.trashItem = [&random, live = faulty.trashItem](const QString& url) {
        return random.bounded(4) == 0 ? std::nullopt : live(url);
    };
    faulty.recycle = [&random, live = faulty.recycle](QStringList urls) {
        urls.removeIf([&random](const QString&) { return random.bounded(3) == 0; });
        return live(urls);
    };
    faulty.runFinderScript = [](const QString&) { return false; };
    faulty.bootoutLaunchAgent = [](const QString&) {};
    faulty.playTrashSound = [] {};

    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        QList<FoundFile> chosen;
        // Some items vanish between the scan and the removal; they come back
        // for the next round.
        QMap<QString, QByteArray> vanished;
        for (const QString& url : std::as_const(items)) {
            if (random.bounded(3) == 0)
                continue;
            chosen.append(FoundFile{url, FileCategory::support, 1, false, true});
            if (fs::entryType(url) == fs::EntryType::file && fs::isWritable(fs::parentPath(url)) &&
                random.bounded(20) == 0) {
                vanished.insert(url, fs::readFile(url).value_or(QByteArray()));
                ASSERT_EQ(::unlink(fs::encodePath(url).constData()), 0);
            }
        }

        const RemovalResult result = test::await(Remover::moveToTrash(chosen, faulty));
        for (const FoundFile& file : std::as_const(chosen)) {
            const QString& url = file.url;
            SCOPED_TRACE(url.toStdString());
            if (vanished.contains(url)) {
                EXPECT_FALSE(result.trashed.contains(url));
            } else if (result.trashed.contains(url)) {
                EXPECT_FALSE(fs::exists(url));
                EXPECT_EQ(fingerprint(result.trashed[url]), initial.value(url));
                EXPECT_EQ(trash::originalPath(result.trashed[url]), url);
            } else {
                EXPECT_EQ(fingerprint(url), initial.value(url));
                EXPECT_TRUE(result.failed.contains(url));
            }
        }
        EXPECT_EQ(fingerprint(outside), outsideBefore);

        QStringList restored = Remover::restore(result.trashed);
        restored.sort();
        EXPECT_EQ(restored, result.trashed.keys());
        for (const QString& trashed : result.trashed)
            EXPECT_FALSE(fs::exists(trashed));
        EXPECT_EQ(fs::listDirectory(trash::homeTrashPath() + u"/info"_s), QStringList());

        for (auto entry = vanished.cbegin(); entry != vanished.cend(); ++entry)
            sandbox.writeFile(entry.key().mid(sandbox.root().size() + 1), entry.value());
        for (const QString& item : std::as_const(items))
            EXPECT_EQ(fingerprint(item), initial.value(item)) << item.toStdString();
    }
}
