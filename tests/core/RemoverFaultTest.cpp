// Removal and restore under injected faults, in rounds over a sandbox of
// hundreds of items of every kind: odd names, links to outside, read-only
// parents, an item on a second file system, items that vanish before removal,
// Trash stages that fail at random and former paths that are taken before
// restore. After every round no byte is lost: each chosen item is exactly
// where it was or in a Trash with a description that points back to it, and
// restore brings back every trashed item as it was.

#include "Remover.h"
#include "Sandbox.h"
#include "Wait.h"
#include "platform/FileSystem.h"
#include "platform/Trash.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QMap>
#include <QRandomGenerator>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace moss;

namespace {

using test::await;

// What an item is, recursively: type, content hash, link target, and the same
// for every entry of a folder. Equal fingerprints mean no byte was lost.
QString fingerprint(const QString& path) {
    switch (fs::entryType(path)) {
    case fs::EntryType::missing:
        return u"missing"_s;
    case fs::EntryType::symlink:
        return u"link:"_s + fs::symlinkTarget(path).value_or(QString());
    case fs::EntryType::file:
        return u"file:"_s +
               QString::fromLatin1(QCryptographicHash::hash(fs::readFile(path).value_or("?"),
                                                            QCryptographicHash::Sha256)
                                       .toHex());
    case fs::EntryType::directory: {
        QStringList names = fs::listDirectory(path).value_or(QStringList{u"<unreadable>"_s});
        names.sort();
        QString out = u"dir{"_s;
        for (const QString& name : std::as_const(names))
            out += name + u'=' + fingerprint(fs::appending(path, name)) + u';';
        return out + u'}';
    }
    case fs::EntryType::other:
        return u"other"_s;
    }
    return {};
}

// Writes bytes to a path through the byte-exact encoding.
void writeBytes(const QString& path, const QByteArray& data) {
    const int fd =
        ::open(fs::encodePath(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << path.toStdString();
    EXPECT_EQ(::write(fd, data.constData(), size_t(data.size())), ssize_t(data.size()));
    ::close(fd);
}

// Names that are hard to carry: quotes, backslashes, line breaks, invalid
// UTF-8 (as lone surrogates), spaces and non-ASCII letters.
QString oddName(int i) {
    static const QStringList forms = {
        u"plain-%1"_s,
        u"quote\"%1'"_s,
        u"back\\slash\\%1"_s,
        u"line\nbreak %1"_s,
        u"пробел и кириллица %1"_s,
        u" lead and trail %1 "_s,
        u"%1.plist"_s,
        u"-dash-%1"_s,
    };
    if (i % 9 == 8)
        return fs::decodePath(QByteArray("bad\xff\xfe-utf8-") + QByteArray::number(i));
    return forms.at(i % forms.size()).arg(i);
}

class RemoverFaultTest : public ::testing::Test {
protected:
    RemoverFaultTest() : random(20240917) {
        sandbox.activate();
        outside = sandbox.writeFile(u"outside/target"_s, "never moved");
        sandbox.makeDir(u"outside/folder"_s);
        root = sandbox.makeDir(u"home/Library/Application Support/Victims"_s);
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

    QString make(int i) {
        const QString path = fs::appending(root, oddName(i));
        switch (i % 6) {
        case 0:
        case 1:
            sandbox.writeFile(path.mid(sandbox.root().size() + 1),
                              QByteArray(int(random.bounded(20000)), char('a' + i % 26)));
            break;
        case 2: {
            const QString rel = path.mid(sandbox.root().size() + 1);
            sandbox.writeFile(rel + u"/inner/"_s + oddName(i + 1), QByteArray::number(i));
            sandbox.symlink(outside, rel + u"/inner/link"_s);
            sandbox.makeDir(rel + u"/empty"_s);
            break;
        }
        case 3:
            sandbox.symlink(i % 2 ? outside : sandbox.path(u"outside/folder"_s),
                            path.mid(sandbox.root().size() + 1));
            break;
        case 4:
            sandbox.symlink(u"../dangling/nowhere"_s, path.mid(sandbox.root().size() + 1));
            break;
        case 5: {
            // Below a read-only parent.
            const QString parent = sandbox.makeDir(path.mid(sandbox.root().size() + 1) + u"-ro"_s);
            const QString item = sandbox.writeFile(
                parent.mid(sandbox.root().size() + 1) + u"/kept"_s, QByteArray(300, 'r'));
            ::chmod(fs::encodePath(parent).constData(), 0555);
            readOnly.append(parent);
            return item;
        }
        }
        return path;
    }

    // An item on another file system when /dev/shm is one.
    std::optional<QString> makeOnOtherFileSystem() {
        struct stat shm {
        }, home{};
        if (::stat("/dev/shm", &shm) != 0 || ::stat(fs::encodePath(root).constData(), &home) != 0 ||
            shm.st_dev == home.st_dev || ::access("/dev/shm", W_OK) != 0)
            return std::nullopt;
        QByteArray templ = "/dev/shm/moss-fault-XXXXXX";
        if (::mkdtemp(templ.data()) == nullptr)
            return std::nullopt;
        otherFileSystem = QString::fromLocal8Bit(templ);
        const QString item = otherFileSystem + u"/other fs \"item\""_s;
        writeBytes(item, QByteArray(5000, 'o'));
        return item;
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
    QString outside;
    QString root;
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
    const QString trashInfo = trash::homeTrashPath() + u"/info"_s;

    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        before.clear();
        QList<FoundFile> chosen;
        QStringList vanished;
        for (const QString& url : std::as_const(items)) {
            if (random.bounded(3) == 0)
                continue;
            before.insert(url, fingerprint(url));
            chosen.append(FoundFile{url, FileCategory::support, 1, false, true});
        }
        // Some items vanish between the scan and the removal; they come back
        // for the next round.
        QMap<QString, QByteArray> vanishedContents;
        for (const FoundFile& file : std::as_const(chosen)) {
            if (fs::entryType(file.url) == fs::EntryType::file &&
                fs::isWritable(fs::parentPath(file.url)) && random.bounded(20) == 0) {
                vanishedContents.insert(file.url, fs::readFile(file.url).value_or(QByteArray()));
                ASSERT_EQ(::unlink(fs::encodePath(file.url).constData()), 0);
                vanished.append(file.url);
            }
        }

        const RemovalResult result = await(Remover::moveToTrash(chosen, faulty()));
        for (const FoundFile& file : std::as_const(chosen)) {
            const QString& url = file.url;
            if (vanished.contains(url)) {
                EXPECT_FALSE(result.trashed.contains(url)) << url.toStdString();
            } else if (result.trashed.contains(url)) {
                const QString& location = result.trashed[url];
                EXPECT_EQ(fs::entryType(url), fs::EntryType::missing) << url.toStdString();
                EXPECT_EQ(fingerprint(location), before.value(url)) << url.toStdString();
                EXPECT_EQ(trash::originalPath(location), url) << url.toStdString();
            } else {
                expectAsBefore(url);
                EXPECT_TRUE(result.failed.contains(url)) << url.toStdString();
            }
        }
        EXPECT_EQ(fingerprint(sandbox.path(u"outside"_s)), outsideBefore);

        // A former path taken before restore is never replaced: that item
        // stays in the Trash until its place is free again.
        QMap<QString, QString> trashed = result.trashed;
        QString blocked;
        for (auto entry = trashed.cbegin(); entry != trashed.cend(); ++entry) {
            if (fs::isRealDirectory(fs::parentPath(entry.key())) &&
                fs::isWritable(fs::parentPath(entry.key()))) {
                blocked = entry.key();
                break;
            }
        }
        if (!blocked.isEmpty())
            writeBytes(blocked, "blocker");
        QStringList restored = Remover::restore(trashed);
        if (!blocked.isEmpty()) {
            EXPECT_FALSE(restored.contains(blocked));
            EXPECT_EQ(fs::readFile(blocked), QByteArray("blocker"));
            EXPECT_EQ(fingerprint(trashed[blocked]), before.value(blocked));
            ASSERT_EQ(::unlink(fs::encodePath(blocked).constData()), 0);
            restored += Remover::restore({{blocked, trashed[blocked]}});
        }
        restored.sort();
        EXPECT_EQ(restored, trashed.keys());
        for (auto entry = trashed.cbegin(); entry != trashed.cend(); ++entry) {
            expectAsBefore(entry.key());
            EXPECT_EQ(fs::entryType(entry.value()), fs::EntryType::missing);
        }
        EXPECT_TRUE(fs::listDirectory(trashInfo).value_or(QStringList()).isEmpty());

        for (auto entry = vanishedContents.cbegin(); entry != vanishedContents.cend(); ++entry)
            writeBytes(entry.key(), entry.value());
        for (const QString& item : std::as_const(items))
            EXPECT_EQ(fingerprint(item), initial.value(item)) << item.toStdString();
    }
}
