// Removal and restore under injected faults, in rounds over a sandbox of
// hundreds of items of every kind: odd names, links to outside, read-only
// parents, an item on a second file system, items that vanish before removal,
// Trash stages that fail at random and former paths that are taken before
// restore. After every round no byte is lost: each chosen item is exactly
// where it was or in a Trash with a description that points back to it, and
// restore brings back every trashed item as it was.

#include "Remover.h"
#include "Sandbox.h"
#include "Trees.h"
#include "Wait.h"
#include "platform/FileSystem.h"
#include "platform/Trash.h"

#include <QDir>
#include <QRandomGenerator>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace moss;
using test::fingerprint;

namespace {

// Writes a new file through the byte-exact encoding.
void writeBytes(const QString& path, const QByteArray& data) {
    const int fd = ::open(fs::encodePath(path).constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    ASSERT_GE(fd, 0) << path.toStdString();
    EXPECT_EQ(::write(fd, data.constData(), size_t(data.size())), ssize_t(data.size()));
    ::close(fd);
}

// Names that are hard to carry: quotes, backslashes, line breaks, invalid
// UTF-8 (as lone surrogates), spaces and non-ASCII letters.
QString oddName(int i) {
    static const QStringList forms = {u"plain-%1"_s,
                                      u"quote\"%1'"_s,
                                      u"back\\slash\\%1"_s,
                                      u"line\nbreak %1"_s,
                                      u"пробел и кириллица %1"_s,
                                      u" lead and trail %1 "_s,
                                      u"%1.plist"_s,
                                      u"-dash-%1"_s};
    if (i % 9 == 8)
        return fs::decodePath("bad\xff\xfe-utf8-" + QByteArray::number(i));
    return forms.at(i % forms.size()).arg(i);
}

class RemoverFaultTest : public ::testing::Test {
protected:
    RemoverFaultTest() : random(20240917) {
        sandbox.activate();
        sandbox.writeFile(u"outside/target"_s, "never moved");
        sandbox.makeDir(u"outside/folder"_s);
        hadShmTrash = fs::exists(shmTrash());
    }
    static QString shmTrash() { return u"/dev/shm/.Trash-"_s + QString::number(::getuid()); }
    ~RemoverFaultTest() override {
        for (const QString& folder : std::as_const(readOnly))
            ::chmod(fs::encodePath(folder).constData(), 0755);
        if (!otherFileSystem.isEmpty())
            QDir(otherFileSystem).removeRecursively();
        // The Trash that removal made at the top of /dev/shm, empty again.
        if (!hadShmTrash)
            QDir(shmTrash()).removeRecursively();
    }

    // Item i, of one of six kinds, below `root` (relative to the sandbox).
    QString make(int i) {
        const QString item = root + oddName(i);
        switch (i % 6) {
        case 2:
            sandbox.writeFile(item + u"/inner/"_s + oddName(i + 1), QByteArray::number(i));
            sandbox.symlink(sandbox.path(u"outside/target"_s), item + u"/inner/link"_s);
            sandbox.makeDir(item + u"/empty"_s);
            break;
        case 3:
            sandbox.symlink(sandbox.path(i % 2 ? u"outside/target"_s : u"outside/folder"_s), item);
            break;
        case 4:
            sandbox.symlink(u"../dangling/nowhere"_s, item);
            break;
        case 5: { // below a read-only parent
            const QString kept = sandbox.writeFile(item + u"-ro/kept"_s, QByteArray(300, 'r'));
            readOnly.append(fs::parentPath(kept));
            ::chmod(fs::encodePath(readOnly.last()).constData(), 0555);
            return kept;
        }
        default:
            sandbox.writeFile(item, QByteArray(int(random.bounded(20000)), char('a' + i % 26)));
        }
        return sandbox.path(item);
    }

    // An item on another file system when /dev/shm is one.
    std::optional<QString> makeOnOtherFileSystem() {
        struct stat shm {
        }, home{};
        QByteArray folder = "/dev/shm/moss-fault-XXXXXX";
        if (::stat("/dev/shm", &shm) != 0 ||
            ::stat(fs::encodePath(sandbox.root()).constData(), &home) != 0 ||
            shm.st_dev == home.st_dev || ::access("/dev/shm", W_OK) != 0 ||
            !::mkdtemp(folder.data()))
            return std::nullopt;
        otherFileSystem = QString::fromLocal8Bit(folder);
        writeBytes(otherFileSystem + u"/other fs \"item\""_s, QByteArray(5000, 'o'));
        return otherFileSystem + u"/other fs \"item\""_s;
    }

    // Trash stages that fail now and then.
    RemovalServices faulty() {
        RemovalServices services = RemovalServices::live();
        services.trashItem = [this, live = services.trashItem](const QString& url) {
            return random.bounded(4) == 0 ? std::nullopt : live(url);
        };
        services.recycle = [this, live = services.recycle](const QStringList& urls) {
            QStringList kept;
            for (const QString& url : urls) {
                if (random.bounded(3) != 0)
                    kept.append(url);
            }
            return live(kept);
        };
        services.runFinderScript = [](const QString&) { return false; };
        services.bootoutLaunchAgent = [](const QString&) {};
        services.playTrashSound = [] {};
        return services;
    }

    void expectAsBefore(const QString& url) const {
        EXPECT_EQ(fingerprint(url), before.value(url)) << url.toStdString();
    }

    test::Sandbox sandbox;
    QRandomGenerator random;
    const QString root = u"home/Library/Application Support/Victims/"_s;
    QString otherFileSystem;
    QStringList readOnly;
    bool hadShmTrash = true;
    QMap<QString, QString> before; // item -> fingerprint
};

} // namespace

TEST_F(RemoverFaultTest, NoByteIsLostOverRoundsOfRemovalAndRestore) {
    QStringList items;
    for (int i = 0; i < 300; ++i)
        items.append(make(i));
    if (const std::optional<QString> item = makeOnOtherFileSystem())
        items.append(*item);
    QMap<QString, QString> initial;
    for (const QString& item : std::as_const(items))
        initial.insert(item, fingerprint(item));
    const QString outsideBefore = fingerprint(sandbox.path(u"outside"_s));

    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        before.clear();
        QList<FoundFile> chosen;
        // Some items vanish between the scan and the removal; they come back
        // for the next round.
        QMap<QString, QByteArray> vanished;
        for (const QString& url : std::as_const(items)) {
            if (random.bounded(3) == 0)
                continue;
            before.insert(url, fingerprint(url));
            chosen.append(FoundFile{url, FileCategory::support, 1, false, true});
            if (fs::entryType(url) == fs::EntryType::file && fs::isWritable(fs::parentPath(url)) &&
                random.bounded(20) == 0) {
                vanished.insert(url, fs::readFile(url).value_or(QByteArray()));
                ASSERT_EQ(::unlink(fs::encodePath(url).constData()), 0);
            }
        }

        const RemovalResult result = test::await(Remover::moveToTrash(chosen, faulty()));
        for (const FoundFile& file : std::as_const(chosen)) {
            const QString& url = file.url;
            if (vanished.contains(url)) {
                EXPECT_FALSE(result.trashed.contains(url)) << url.toStdString();
            } else if (result.trashed.contains(url)) {
                EXPECT_FALSE(fs::exists(url)) << url.toStdString();
                EXPECT_EQ(fingerprint(result.trashed[url]), before.value(url)) << url.toStdString();
                EXPECT_EQ(trash::originalPath(result.trashed[url]), url) << url.toStdString();
            } else {
                expectAsBefore(url);
                EXPECT_TRUE(result.failed.contains(url)) << url.toStdString();
            }
        }
        EXPECT_EQ(fingerprint(sandbox.path(u"outside"_s)), outsideBefore);

        // A former path taken before restore is never replaced: that item
        // stays in the Trash until its place is free again.
        const auto blocked =
            std::find_if(result.trashed.keyBegin(), result.trashed.keyEnd(),
                         [](const QString& url) { return fs::isWritable(fs::parentPath(url)); });
        ASSERT_NE(blocked, result.trashed.keyEnd());
        writeBytes(*blocked, "blocker");
        QStringList restored = Remover::restore(result.trashed);
        EXPECT_FALSE(restored.contains(*blocked));
        EXPECT_EQ(fs::readFile(*blocked), QByteArray("blocker"));
        EXPECT_EQ(fingerprint(result.trashed[*blocked]), before.value(*blocked));
        ASSERT_EQ(::unlink(fs::encodePath(*blocked).constData()), 0);
        restored += Remover::restore({{*blocked, result.trashed[*blocked]}});
        restored.sort();
        EXPECT_EQ(restored, result.trashed.keys());
        for (auto entry = result.trashed.cbegin(); entry != result.trashed.cend(); ++entry) {
            expectAsBefore(entry.key());
            EXPECT_FALSE(fs::exists(entry.value()));
        }
        EXPECT_EQ(fs::listDirectory(trash::homeTrashPath() + u"/info"_s), QStringList());

        for (auto entry = vanished.cbegin(); entry != vanished.cend(); ++entry)
            writeBytes(entry.key(), entry.value());
        for (const QString& item : std::as_const(items))
            EXPECT_EQ(fingerprint(item), initial.value(item)) << item.toStdString();
    }
}
