#include "platform/Trash.h"

#include "platform/FileSystem.h"

#include <QDateTime>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

namespace moss::trash {

namespace {

using namespace Qt::StringLiterals;

constexpr qsizetype kNameMax = NAME_MAX;
const QString kInfoSuffix = u".trashinfo"_s;

QByteArray bytes(const QString& path) {
    return fs::encodePath(path);
}

bool lstatOf(const QString& path, struct stat& st) {
    return ::lstat(bytes(path).constData(), &st) == 0;
}

// A folder of ours inside a Trash: created with mode 0700 when missing, and
// accepted only as a real folder (not a link) that belongs to this user.
bool ensureOwnFolder(const QString& path) {
    if (::mkdir(bytes(path).constData(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat st {};
    return lstatOf(path, st) && S_ISDIR(st.st_mode) && st.st_uid == ::getuid();
}

bool prepareTrashFolder(const QString& trash) {
    return ensureOwnFolder(trash) && ensureOwnFolder(trash + u"/files"_s) &&
           ensureOwnFolder(trash + u"/info"_s);
}

// ---- where an item goes ------------------------------------------------

struct Destination {
    QString trash;    // the Trash folder
    QString infoPath; // the Path= value before encoding
};

// Device of the path, or of its nearest existing ancestor.
dev_t deviceOf(QString path) {
    struct stat st {};
    while (::stat(bytes(path).constData(), &st) != 0 && path != u"/")
        path = fs::parentPath(path);
    return st.st_dev;
}

// The top folder of the mount that holds `folder` (a path without links).
QString mountTop(QString folder, dev_t device) {
    while (folder != u"/") {
        const QString parent = fs::parentPath(folder);
        struct stat st {};
        if (::stat(bytes(parent).constData(), &st) != 0 || st.st_dev != device)
            break;
        folder = parent;
    }
    return folder;
}

std::optional<QString> topTrash(const QString& top) {
    const QString uid = QString::number(::getuid());
    const QString shared = fs::appending(top, u".Trash"_s);
    struct stat st {};
    if (lstatOf(shared, st) && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX)) {
        const QString own = fs::appending(shared, uid);
        if (prepareTrashFolder(own))
            return own;
    }
    const QString own = fs::appending(top, u".Trash-"_s + uid);
    if (prepareTrashFolder(own))
        return own;
    return std::nullopt;
}

std::optional<Destination> destinationFor(const QString& item, dev_t device) {
    const QString home = homeTrashPath();
    if (home.isEmpty())
        return std::nullopt;
    if (device == deviceOf(home)) {
        if (!prepareHomeTrash())
            return std::nullopt;
        return Destination{home, item};
    }
    const QString folder = fs::resolvingSymlinks(fs::parentPath(item));
    const QString top = mountTop(folder, device);
    const std::optional<QString> trash = topTrash(top);
    if (!trash)
        return std::nullopt;
    const QString real = fs::appending(folder, fs::lastComponent(item));
    const QString relative = top == u"/" ? real.mid(1) : real.mid(top.size() + 1);
    return Destination{*trash, relative};
}

// ---- descriptions ------------------------------------------------------

QByteArray infoText(const QString& pathValue) {
    const QString date = QDateTime::currentDateTime().toString(u"yyyy-MM-ddTHH:mm:ss"_s);
    return "[Trash Info]\nPath=" + encodeInfoPath(pathValue) + "\nDeletionDate=" + date.toLatin1() +
           '\n';
}

bool writeAll(int fd, const QByteArray& data) {
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// The n-th candidate name in the Trash for an item called `name`, short
// enough for its description's file name to be a valid name.
QString candidateName(QString name, int n) {
    const QString suffix = n == 1 ? QString() : u"."_s + QString::number(n);
    while (!name.isEmpty() && bytes(name + suffix + kInfoSuffix).size() > kNameMax) {
        name.chop(1);
        if (!name.isEmpty() && name.back().isHighSurrogate())
            name.chop(1);
    }
    return name + suffix;
}

struct Reservation {
    QString name;
    QString info;
};

// Claims a free name in the Trash by creating its description exclusively.
std::optional<Reservation> reserve(const QString& trash, const QString& name,
                                   const QByteArray& text) {
    for (int n = 1; n < 100000; ++n) {
        const QString candidate = candidateName(name, n);
        if (candidate.isEmpty())
            return std::nullopt;
        const QString info = trash + u"/info/"_s + candidate + kInfoSuffix;
        const int fd = ::open(bytes(info).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return std::nullopt;
        }
        const bool taken = fs::exists(trash + u"/files/"_s + candidate);
        const bool written = !taken && writeAll(fd, text);
        if (::close(fd) == 0 && written)
            return Reservation{candidate, info};
        ::unlink(bytes(info).constData());
        if (!taken)
            return std::nullopt;
    }
    return std::nullopt;
}

// ---- copying and removing trees ----------------------------------------

bool setTimes(const QString& path, const struct stat& st) {
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    return ::utimensat(AT_FDCWD, bytes(path).constData(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

void copyOwner(const QString& path, const struct stat& st) {
    // Only possible for the superuser; others keep owning the copy.
    [[maybe_unused]] const int rc = ::lchown(bytes(path).constData(), st.st_uid, st.st_gid);
}

bool copyContents(int from, int to) {
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(from, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        if (!writeAll(to, QByteArray::fromRawData(buffer, n)))
            return false;
    }
}

bool copyFile(const QString& from, const QString& to, const struct stat& st) {
    const int in = ::open(bytes(from).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (in < 0)
        return false;
    const int out =
        ::open(bytes(to).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    bool ok = out >= 0 && copyContents(in, out);
    ::close(in);
    if (out >= 0) {
        copyOwner(to, st);
        ok = ::fchmod(out, st.st_mode & 07777) == 0 && ok;
        ok = ::close(out) == 0 && ok;
    }
    return ok;
}

bool copyTree(const QString& from, const QString& to);

bool copyFolder(const QString& from, const QString& to, const struct stat& st) {
    if (::mkdir(bytes(to).constData(), 0700) != 0)
        return false;
    const std::optional<QStringList> names = fs::listDirectory(from);
    if (!names)
        return false;
    for (const QString& name : *names) {
        if (!copyTree(fs::appending(from, name), fs::appending(to, name)))
            return false;
    }
    copyOwner(to, st);
    return ::chmod(bytes(to).constData(), st.st_mode & 07777) == 0;
}

// Copies one item and everything below it; never replaces an existing entry.
bool copyTree(const QString& from, const QString& to) {
    struct stat st {};
    if (!lstatOf(from, st))
        return false;
    bool ok = false;
    if (S_ISDIR(st.st_mode)) {
        ok = copyFolder(from, to, st);
    } else if (S_ISREG(st.st_mode)) {
        ok = copyFile(from, to, st);
    } else if (S_ISLNK(st.st_mode)) {
        const std::optional<QString> target = fs::symlinkTarget(from);
        ok = target && ::symlink(bytes(*target).constData(), bytes(to).constData()) == 0;
        if (ok)
            copyOwner(to, st);
    } else if (S_ISFIFO(st.st_mode)) {
        ok = ::mkfifo(bytes(to).constData(), st.st_mode & 07777) == 0;
    }
    return ok && setTimes(to, st);
}

// True when `copy` has the same entries as `original`, with the same types,
// file sizes and link targets, at all depths.
bool sameTree(const QString& original, const QString& copy) {
    struct stat a {
    }, b{};
    if (!lstatOf(original, a) || !lstatOf(copy, b) || (a.st_mode & S_IFMT) != (b.st_mode & S_IFMT))
        return false;
    if (S_ISREG(a.st_mode))
        return a.st_size == b.st_size;
    if (S_ISLNK(a.st_mode))
        return fs::symlinkTarget(original) == fs::symlinkTarget(copy);
    if (!S_ISDIR(a.st_mode))
        return true;
    std::optional<QStringList> left = fs::listDirectory(original);
    std::optional<QStringList> right = fs::listDirectory(copy);
    if (!left || !right || left->size() != right->size())
        return false;
    left->sort();
    right->sort();
    if (*left != *right)
        return false;
    for (const QString& name : std::as_const(*left)) {
        if (!sameTree(fs::appending(original, name), fs::appending(copy, name)))
            return false;
    }
    return true;
}

// True when this user may remove the item and everything below it.
bool canRemoveTree(const QString& path) {
    if (::access(bytes(fs::parentPath(path)).constData(), W_OK | X_OK) != 0)
        return false;
    if (!fs::isRealDirectory(path))
        return true;
    if (::access(bytes(path).constData(), R_OK | W_OK | X_OK) != 0)
        return false;
    const std::optional<QStringList> names = fs::listDirectory(path);
    if (!names)
        return false;
    for (const QString& name : *names) {
        if (!canRemoveTree(fs::appending(path, name)))
            return false;
    }
    return true;
}

int openUpFolder(const char* path, const struct stat* st, int type, FTW*) {
    if (type == FTW_D || type == FTW_DNR)
        ::chmod(path, (st->st_mode & 07777) | S_IRWXU);
    return 0;
}

int removeEntry(const char* path, const struct stat*, int type, FTW*) {
    const bool folder = type == FTW_DP || type == FTW_D || type == FTW_DNR;
    return (folder ? ::rmdir(path) : ::unlink(path)) == 0 ? 0 : 1;
}

// Removes an item and everything below it, links as links. `openUp` first
// gives this user access to every folder in it (for our own partial copies).
bool removeTree(const QString& path, bool openUp) {
    const QByteArray encoded = bytes(path);
    if (openUp)
        ::nftw(encoded.constData(), openUpFolder, 64, FTW_PHYS);
    return ::nftw(encoded.constData(), removeEntry, 64, FTW_PHYS | FTW_DEPTH) == 0;
}

// Moves an item to a place on another file system: a complete, checked copy
// first, then the original is removed. On failure the copy is removed and the
// original stays. If the original cannot be fully removed after all, the
// complete copy is kept and false returned, so that nothing is lost.
bool moveByCopy(const QString& from, const QString& to) {
    if (!copyTree(from, to) || !sameTree(from, to) || !canRemoveTree(from)) {
        if (fs::exists(to))
            removeTree(to, true);
        return false;
    }
    return removeTree(from, false);
}

QString trashFolderOf(const QString& trashedPath) {
    return fs::parentPath(fs::parentPath(trashedPath));
}

} // namespace

// ---- public interface --------------------------------------------------

QString homeTrashPath() {
    const QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.startsWith(u'/'))
        return fs::appending(fs::standardized(data), u"Trash"_s);
    const QString home = qEnvironmentVariable("HOME");
    if (!home.startsWith(u'/') || !fs::isDirectory(home))
        return {};
    return fs::appending(fs::standardized(home), u".local/share/Trash"_s);
}

bool prepareHomeTrash() {
    const QString trash = homeTrashPath();
    return !trash.isEmpty() && fs::makePath(fs::parentPath(trash)) && prepareTrashFolder(trash);
}

std::optional<QString> moveToTrash(const QString& path) {
    const QString item = fs::standardized(path);
    struct stat st {};
    if (item == u"/" || !lstatOf(item, st))
        return std::nullopt;
    const std::optional<Destination> destination = destinationFor(item, st.st_dev);
    if (!destination)
        return std::nullopt;
    const std::optional<Reservation> slot =
        reserve(destination->trash, fs::lastComponent(item), infoText(destination->infoPath));
    if (!slot)
        return std::nullopt;
    const QString target = destination->trash + u"/files/"_s + slot->name;
    if (!fs::moveNoReplace(item, target)) {
        ::unlink(bytes(slot->info).constData());
        return std::nullopt;
    }
    return target;
}

std::optional<QString> copyToHomeTrash(const QString& path) {
    const QString item = fs::standardized(path);
    if (item == u"/" || !fs::exists(item) || !prepareHomeTrash())
        return std::nullopt;
    const QString trash = homeTrashPath();
    if ((trash + u'/').startsWith(item + u'/'))
        return std::nullopt; // the Trash itself lies inside the item
    const std::optional<Reservation> slot = reserve(trash, fs::lastComponent(item), infoText(item));
    if (!slot)
        return std::nullopt;
    const QString target = trash + u"/files/"_s + slot->name;
    if (!moveByCopy(item, target)) {
        if (!fs::exists(target))
            ::unlink(bytes(slot->info).constData());
        return std::nullopt;
    }
    return target;
}

bool restore(const QString& trashedPath, const QString& formerPath) {
    if (!fs::exists(trashedPath) || fs::exists(formerPath))
        return false;
    const QString parent = fs::parentPath(formerPath);
    fs::makePath(parent);
    struct stat item {};
    const bool moved = fs::moveNoReplace(trashedPath, formerPath) ||
                       (lstatOf(trashedPath, item) && item.st_dev != deviceOf(parent) &&
                        moveByCopy(trashedPath, formerPath));
    if (!moved)
        return false;
    if (fs::lastComponent(fs::parentPath(trashedPath)) == u"files")
        ::unlink(bytes(infoPath(trashedPath)).constData());
    return true;
}

QString infoPath(const QString& trashedPath) {
    return trashFolderOf(trashedPath) + u"/info/"_s + fs::lastComponent(trashedPath) + kInfoSuffix;
}

std::optional<QString> originalPath(const QString& trashedPath) {
    const std::optional<QByteArray> text = fs::readFile(infoPath(trashedPath), 1 << 20);
    if (!text || !text->startsWith("[Trash Info]\n"))
        return std::nullopt;
    for (const QByteArray& line : text->split('\n')) {
        if (!line.startsWith("Path="))
            continue;
        const QString value = decodeInfoPath(line.mid(5));
        if (value.startsWith(u'/'))
            return value;
        // Relative to the top of the mount: the folder that holds .Trash-UID,
        // or the one that holds .Trash/UID.
        const QString trash = trashFolderOf(trashedPath);
        QString top = fs::parentPath(trash);
        if (!fs::lastComponent(trash).startsWith(u".Trash-"_s))
            top = fs::parentPath(top);
        return fs::appending(top, value);
    }
    return std::nullopt;
}

QByteArray encodeInfoPath(const QString& path) {
    return bytes(path).toPercentEncoding("/");
}

QString decodeInfoPath(const QByteArray& value) {
    return fs::decodePath(QByteArray::fromPercentEncoding(value));
}

} // namespace moss::trash
