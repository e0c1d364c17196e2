#include "platform/Trash.h"

#include "platform/FileSystem.h"
#include "platform/TreeMove.h"

#include <QDateTime>
#include <cerrno>
#include <climits>
#include <fcntl.h>
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

// ---- refusals ----------------------------------------------------------

// The errno of the call that just failed.
std::error_code lastError() {
    return errno != 0 ? std::error_code(errno, std::generic_category())
                      : make_error_code(Error::unknown);
}

TrashMove refused(std::error_code error) {
    return {QString(), error};
}

// The Trash itself, an item inside it, and one that contains it cannot go to
// it (the last would be copied into itself).
std::error_code trashRelation(int parent, const QByteArray& name, int trash) {
    switch (tree::relation(parent, name, trash)) {
    case tree::Relation::same:
        return Error::isTheTrash;
    case tree::Relation::inside:
        return Error::insideTheTrash;
    case tree::Relation::contains:
        return Error::containsTheTrash;
    case tree::Relation::apart:
        break;
    }
    return {};
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

TrashMove moveToTrash(const QString& path) {
    const QString item = fs::standardized(path);
    struct stat st {};
    if (item == u"/")
        return refused(Error::containsTheTrash);
    if (!lstatOf(item, st))
        return refused(lastError());
    const std::optional<Destination> destination = destinationFor(item, st.st_dev);
    if (!destination)
        return refused(Error::trashUnavailable);
    const tree::Descriptor trash = tree::openFolder(bytes(destination->trash));
    const tree::Descriptor parent = tree::holdFolder(bytes(fs::parentPath(item)));
    if (!trash.isValid() || !parent.isValid())
        return refused(lastError());
    if (const std::error_code error =
            trashRelation(parent.get(), bytes(fs::lastComponent(item)), trash.get()))
        return refused(error);
    const std::optional<Reservation> slot =
        reserve(destination->trash, fs::lastComponent(item), infoText(destination->infoPath));
    if (!slot)
        return refused(lastError());
    const QString target = destination->trash + u"/files/"_s + slot->name;
    if (!fs::moveNoReplace(item, target)) {
        const std::error_code error = lastError();
        ::unlink(bytes(slot->info).constData());
        return refused(error);
    }
    return {target, {}};
}

TrashMove copyToHomeTrash(const QString& path, const BeforeRemoval& beforeRemoval) {
    const QString item = fs::standardized(path);
    if (item == u"/")
        return refused(Error::containsTheTrash);
    if (!prepareHomeTrash())
        return refused(Error::trashUnavailable);
    const QString trash = homeTrashPath();
    const tree::Descriptor trashFolder = tree::openFolder(bytes(trash));
    const tree::Descriptor files = tree::openFolderAt(trashFolder.get(), "files");
    if (!trashFolder.isValid() || !files.isValid())
        return refused(Error::trashUnavailable);
    const tree::Descriptor parent = tree::holdFolder(bytes(fs::parentPath(item)));
    if (!parent.isValid())
        return refused(lastError());
    const QByteArray name = bytes(fs::lastComponent(item));
    if (const std::error_code error = trashRelation(parent.get(), name, trashFolder.get()))
        return refused(error);

    // Everything that decides whether the original can go is known before
    // the description is written and the first byte is copied.
    tree::TreeMove move(parent.get(), name);
    if (move.error())
        return refused(move.error());
    const std::optional<Reservation> slot = reserve(trash, fs::lastComponent(item), infoText(item));
    if (!slot)
        return refused(lastError());
    const QString target = trash + u"/files/"_s + slot->name;
    std::function<void()> hook;
    if (beforeRemoval)
        hook = [&] { beforeRemoval(item, target); };
    const tree::MoveOutcome outcome = move.run(files.get(), bytes(slot->name), hook);
    if (outcome.error && !outcome.copyKept) {
        ::unlink(bytes(slot->info).constData());
        return refused(outcome.error);
    }
    return {target, outcome.error};
}

Status restore(const QString& trashedPath, const QString& formerPath, Restore mode) {
    const bool occupied = fs::exists(formerPath);
    if (!fs::exists(trashedPath))
        return {std::error_code(ENOENT, std::generic_category())};
    if (occupied && mode == Restore::whole)
        return {std::error_code(EEXIST, std::generic_category())};
    const QString parentPath = fs::parentPath(formerPath);
    fs::makePath(parentPath);
    const tree::Descriptor from = tree::holdFolder(bytes(fs::parentPath(trashedPath)));
    const tree::Descriptor to = tree::openFolder(bytes(parentPath));
    if (!from.isValid() || !to.isValid())
        return {lastError()};
    const QByteArray name = bytes(fs::lastComponent(trashedPath));
    const QByteArray formerName = bytes(fs::lastComponent(formerPath));

    std::error_code error;
    if (occupied) {
        error = tree::mergeBack(from.get(), name, to.get(), formerName).error;
    } else {
        // A copy across file systems that could not take every entry out of
        // the Trash is still whole at the former path; the rest stays.
        const tree::MoveOutcome moved = tree::move(from.get(), name, to.get(), formerName);
        if (moved.error && !moved.copyKept)
            return {moved.error};
    }
    if (!fs::exists(trashedPath) && fs::lastComponent(fs::parentPath(trashedPath)) == u"files")
        ::unlink(bytes(infoPath(trashedPath)).constData());
    return {error};
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
