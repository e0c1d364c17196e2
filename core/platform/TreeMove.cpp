#include "platform/TreeMove.h"

#include "platform/TrashError.h"

#include <QList>
#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <linux/capability.h>
#include <linux/fs.h>
#include <map>
#include <optional>
#include <set>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace moss::tree {

namespace {

using trash::Error;

// The errno of the call that just failed.
std::error_code lastError() {
    return errno != 0 ? std::error_code(errno, std::generic_category())
                      : trash::make_error_code(Error::unknown);
}

// What a survey, a copy and a removal know of an entry.
struct Stat {
    dev_t device = 0;
    ino_t inode = 0;
    mode_t mode = 0;
    uid_t uid = 0;
    gid_t gid = 0;
    nlink_t links = 0;
    off_t size = 0;
    blkcnt_t blocks = 0;
    timespec atime{};
    timespec mtime{};
    timespec ctime{};
    bool flagsKnown = false; // whether `locked` is reported by the file system
    bool locked = false;     // immutable or append-only
    bool mountRoot = false;

    mode_t type() const { return mode & S_IFMT; }
    bool isFolder() const { return S_ISDIR(mode); }
    std::pair<dev_t, ino_t> id() const { return {device, inode}; }
};

bool sameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

bool sameObject(const Stat& a, const Stat& b) {
    return a.device == b.device && a.inode == b.inode && a.type() == b.type();
}

// Unchanged contents and metadata; the change time covers what the others miss.
bool unchanged(const Stat& now, const Stat& then) {
    return sameObject(now, then) && now.size == then.size && sameTime(now.mtime, then.mtime) &&
           sameTime(now.ctime, then.ctime) && now.mode == then.mode && now.uid == then.uid &&
           now.gid == then.gid;
}

timespec timeOf(const statx_timestamp& t) {
    return {t.tv_sec, long(t.tv_nsec)};
}

// statx relative to a folder, never following a final link; `name` empty
// for the descriptor itself.
std::optional<Stat> statAt(int dir, const char* name) {
    const int flags = AT_SYMLINK_NOFOLLOW | AT_STATX_SYNC_AS_STAT | (*name ? 0 : AT_EMPTY_PATH);
    struct statx x {};
    if (::statx(dir, name, flags, STATX_BASIC_STATS, &x) != 0)
        return std::nullopt;
    Stat st;
    st.device = makedev(x.stx_dev_major, x.stx_dev_minor);
    st.inode = x.stx_ino;
    st.mode = x.stx_mode;
    st.uid = x.stx_uid;
    st.gid = x.stx_gid;
    st.links = x.stx_nlink;
    st.size = off_t(x.stx_size);
    st.blocks = blkcnt_t(x.stx_blocks);
    st.atime = timeOf(x.stx_atime);
    st.mtime = timeOf(x.stx_mtime);
    st.ctime = timeOf(x.stx_ctime);
    constexpr quint64 lockFlags = STATX_ATTR_IMMUTABLE | STATX_ATTR_APPEND;
    st.flagsKnown = (x.stx_attributes_mask & lockFlags) == lockFlags;
    st.locked = (x.stx_attributes & lockFlags) != 0;
    st.mountRoot = (x.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) &&
                   (x.stx_attributes & STATX_ATTR_MOUNT_ROOT);
    return st;
}

std::optional<Stat> statAt(int dir, const QByteArray& name) {
    return statAt(dir, name.constData());
}

std::optional<Stat> statOf(int fd) {
    return statAt(fd, "");
}

// Immutable or append-only, asked through the descriptor where statx does
// not say (only regular files and folders are asked: an ioctl on a device
// would reach its driver).
bool isLocked(int fd) {
    int flags = 0;
    return ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
           (flags & (FS_IMMUTABLE_FL | FS_APPEND_FL)) != 0;
}

// Whether this process may remove other users' entries from sticky folders.
bool mayRemoveForeignEntries() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    if (::syscall(SYS_capget, &header, data) != 0)
        return ::geteuid() == 0;
    return (data[CAP_FOWNER / 32].effective & (1u << (CAP_FOWNER % 32))) != 0;
}

std::optional<std::vector<QByteArray>> namesIn(int dir) {
    const int fd = ::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    DIR* stream = ::fdopendir(fd);
    if (!stream) {
        ::close(fd);
        return std::nullopt;
    }
    std::vector<QByteArray> names;
    errno = 0;
    while (const dirent* entry = ::readdir(stream)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names.push_back(name);
    }
    const int error = errno;
    ::closedir(stream);
    if (error != 0) {
        errno = error;
        return std::nullopt;
    }
    return names;
}

// The object a descriptor holds, as a path of /proc.
QByteArray procPath(int fd) {
    return "/proc/self/fd/" + QByteArray::number(fd);
}

// The entry `name` of a held folder, as a path of /proc: only its last
// component is looked up.
QByteArray procPath(int dir, const QByteArray& name) {
    return procPath(dir) + '/' + name;
}

// A folder of our own copy, opened even where its mode keeps us out: the
// mode is opened up through the held object, never through a path.
Descriptor openOwnFolder(int dir, const QByteArray& name) {
    Descriptor folder = openFolderAt(dir, name);
    if (folder.isValid() || errno != EACCES)
        return folder;
    const Descriptor path(
        ::openat(dir, name.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!path.isValid() || ::chmod(procPath(path.get()).constData(), 0700) != 0)
        return {};
    return Descriptor(::openat(path.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

// Removes an entry of a copy of our own and everything below it.
void removeOwn(int dir, const QByteArray& name) {
    const std::optional<Stat> st = statAt(dir, name);
    if (!st)
        return;
    if (st->isFolder()) {
        const Descriptor folder = openOwnFolder(dir, name);
        if (folder.isValid()) {
            for (const QByteArray& entry :
                 namesIn(folder.get()).value_or(std::vector<QByteArray>()))
                removeOwn(folder.get(), entry);
        }
    }
    ::unlinkat(dir, name.constData(), st->isFolder() ? AT_REMOVEDIR : 0);
}

// ---- extended attributes -----------------------------------------------

// The attributes of one object: through its descriptor, or, for links and
// FIFOs, which cannot be opened for this, through /proc/self/fd/DIR/NAME
// without following the last component.
struct Attributes {
    int fd = -1;
    QByteArray path;

    ssize_t list(char* buffer, size_t size) const {
        return fd >= 0 ? ::flistxattr(fd, buffer, size)
                       : ::llistxattr(path.constData(), buffer, size);
    }
    ssize_t get(const char* name, void* buffer, size_t size) const {
        return fd >= 0 ? ::fgetxattr(fd, name, buffer, size)
                       : ::lgetxattr(path.constData(), name, buffer, size);
    }
    int set(const QByteArray& name, const QByteArray& value) const {
        return fd >= 0
                   ? ::fsetxattr(fd, name.constData(), value.constData(), size_t(value.size()), 0)
                   : ::lsetxattr(path.constData(), name.constData(), value.constData(),
                                 size_t(value.size()), 0);
    }
    int remove(const QByteArray& name) const {
        return fd >= 0 ? ::fremovexattr(fd, name.constData())
                       : ::lremovexattr(path.constData(), name.constData());
    }

    std::optional<std::vector<QByteArray>> names() const {
        for (;;) {
            const ssize_t size = list(nullptr, 0);
            if (size < 0 && errno != ENOTSUP)
                return std::nullopt;
            if (size <= 0)
                return std::vector<QByteArray>(); // none, or none possible here
            QByteArray buffer(size, '\0');
            const ssize_t got = list(buffer.data(), size_t(buffer.size()));
            if (got < 0 && errno == ERANGE)
                continue; // grew meanwhile
            if (got < 0)
                return std::nullopt;
            std::vector<QByteArray> names;
            for (const QByteArray& name : buffer.left(got).split('\0')) {
                if (!name.isEmpty())
                    names.push_back(name);
            }
            return names;
        }
    }
    std::optional<QByteArray> value(const QByteArray& name) const {
        for (;;) {
            const ssize_t size = get(name.constData(), nullptr, 0);
            if (size < 0)
                return std::nullopt;
            QByteArray buffer(size, '\0');
            const ssize_t got = get(name.constData(), buffer.data(), size_t(buffer.size()));
            if (got < 0 && errno == ERANGE)
                continue;
            if (got < 0)
                return std::nullopt;
            return buffer.left(got);
        }
    }
};

// Gives `to` exactly the attributes of `from` (POSIX ACLs are attributes too).
std::error_code copyAttributes(const Attributes& from, const Attributes& to) {
    const std::optional<std::vector<QByteArray>> names = from.names();
    if (!names)
        return lastError();
    for (const QByteArray& name : *names) {
        const std::optional<QByteArray> value = from.value(name);
        if (!value)
            return errno == ENODATA ? trash::make_error_code(Error::changedWhileMoving)
                                    : lastError();
        if (to.set(name, *value) != 0 && to.value(name) != value)
            return Error::attributesNotCopied;
    }
    // Anything the copy has beyond them (inherited from its new folder).
    for (const QByteArray& name : to.names().value_or(std::vector<QByteArray>())) {
        if (std::find(names->begin(), names->end(), name) == names->end() && to.remove(name) != 0)
            return Error::attributesNotCopied;
    }
    return {};
}

// ---- copying -----------------------------------------------------------

void copyOwner(int fd, const Stat& st) {
    // Only the superuser may give a file away; others may at least keep the
    // group where they belong to it. Otherwise the copy stays ours.
    if (::fchown(fd, st.uid, st.gid) == 0)
        return;
    [[maybe_unused]] const int rc = ::fchown(fd, uid_t(-1), st.gid);
}

void copyOwnerAt(int dir, const char* name, const Stat& st) {
    if (::fchownat(dir, name, st.uid, st.gid, AT_SYMLINK_NOFOLLOW) == 0)
        return;
    [[maybe_unused]] const int rc = ::fchownat(dir, name, uid_t(-1), st.gid, AT_SYMLINK_NOFOLLOW);
}

// Owner, attributes, mode and times, in an order where none undoes another
// (a change of owner drops capabilities and set-id bits).
std::error_code finishObject(int fd, const Attributes& from, const Stat& st) {
    copyOwner(fd, st);
    if (const std::error_code error = copyAttributes(from, Attributes{fd, {}}))
        return error;
    if (::fchmod(fd, st.mode & 07777) != 0)
        return lastError();
    const std::optional<Stat> now = statOf(fd);
    if (!now)
        return lastError();
    if ((now->mode & 07777) != (st.mode & 07777))
        return {EPERM, std::generic_category()}; // a set-id bit this user may not give
    const timespec times[2] = {st.atime, st.mtime};
    if (::futimens(fd, times) != 0)
        return lastError();
    return {};
}

class Copier {
public:
    // Copies `node` (an entry of `from`) to the new entry `toName` of `to`.
    // `relative` is its path below the copy's top, for hard links.
    bool copy(int from, TreeMove::Node& node, int to, const QByteArray& toName,
              const QByteArray& relative);
    // Gives the copied folders their owner, attributes, mode and times, the
    // deepest first, once nothing more is created in them.
    bool finishFolders(int from, const TreeMove::Node& node, int to, const QByteArray& toName);

    std::error_code error;

private:
    bool fail(std::error_code code) {
        if (!error)
            error = code;
        return false;
    }
    bool failWithErrno() { return fail(lastError()); }
    bool changed() { return fail(Error::changedWhileMoving); }

    bool copyFolder(int from, TreeMove::Node& node, int to, const QByteArray& toName,
                    const QByteArray& relative);
    bool copyFile(int from, TreeMove::Node& node, int to, const QByteArray& toName,
                  const QByteArray& relative);
    bool copyOther(int from, TreeMove::Node& node, int to, const QByteArray& toName);
    bool copyData(int in, int out, const Stat& st);
    bool copyRange(int in, int out, off_t offset, off_t length);

    int top_ = -1; // the copy's top folder, while a folder is copied
    std::map<std::pair<dev_t, ino_t>, QByteArray> linked_;
    bool kernelCopy_ = true;
    std::vector<char> buffer_;
};

} // namespace

struct TreeMove::Node {
    QByteArray name;
    Stat st; // as surveyed; once copied, as copied
    std::vector<Node> children;
    bool copied = false;
};

namespace {

// An entry the survey met that cannot go, or a failure to read what is there.
class Surveyor {
public:
    explicit Surveyor(dev_t device) : device_(device) {}

    // Whether `folder` lets entries be removed from it.
    bool allowsRemoval(int fd, const Stat& folder) {
        if (locked(fd, folder))
            return fail(Error::immutable);
        if (::faccessat(fd, ".", W_OK | X_OK, AT_EACCESS) != 0)
            return fail(lastError());
        return true;
    }

    // Surveys the entry node.name of `dir` (whose stat is `folder`) and
    // everything below it.
    bool survey(int dir, const Stat& folder, TreeMove::Node& node, bool top) {
        const std::optional<Stat> st = statAt(dir, node.name);
        if (!st)
            return fail(lastError());
        node.st = *st;
        if ((folder.mode & S_ISVTX) && st->uid != euid_ && folder.uid != euid_ && !privileged_)
            return fail(Error::foreignInStickyFolder);
        if (st->mountRoot || st->device != device_)
            return fail(top ? Error::mountPoint : Error::mountPointInside);
        if (st->flagsKnown && st->locked)
            return fail(Error::immutable);
        switch (st->type()) {
        case S_IFREG:
            return surveyFile(dir, node);
        case S_IFDIR:
            return surveyFolder(dir, node);
        case S_IFLNK:
        case S_IFIFO:
            return true;
        default:
            return fail(Error::specialFile);
        }
    }

    std::error_code error;
    qint64 bytes = 0;

private:
    bool fail(std::error_code code) {
        error = code;
        return false;
    }

    bool locked(int fd, const Stat& st) { return st.flagsKnown ? st.locked : isLocked(fd); }

    bool surveyFile(int dir, TreeMove::Node& node) {
        if (::faccessat(dir, node.name.constData(), R_OK, AT_EACCESS | AT_SYMLINK_NOFOLLOW) != 0)
            return fail(lastError());
        if (!node.st.flagsKnown) {
            const Descriptor file(
                ::openat(dir, node.name.constData(),
                         O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
            if (file.isValid() && isLocked(file.get()))
                return fail(Error::immutable);
        }
        if (node.st.links < 2 || counted_.insert(node.st.id()).second)
            bytes += qint64(node.st.blocks) * 512;
        return true;
    }

    bool surveyFolder(int dir, TreeMove::Node& node) {
        const Descriptor folder = openFolderAt(dir, node.name);
        if (!folder.isValid())
            return fail(errno == ELOOP || errno == ENOTDIR
                            ? trash::make_error_code(Error::changedWhileMoving)
                            : lastError());
        const std::optional<Stat> held = statOf(folder.get());
        if (!held || !sameObject(*held, node.st))
            return fail(Error::changedWhileMoving);
        const std::optional<std::vector<QByteArray>> names = namesIn(folder.get());
        if (!names)
            return fail(lastError());
        if (!names->empty() && !allowsRemoval(folder.get(), node.st))
            return false;
        node.children.resize(names->size());
        for (size_t i = 0; i < names->size(); ++i) {
            node.children[i].name = (*names)[i];
            if (!survey(folder.get(), node.st, node.children[i], false))
                return false;
        }
        return true;
    }

    dev_t device_;
    uid_t euid_ = ::geteuid();
    bool privileged_ = mayRemoveForeignEntries();
    std::set<std::pair<dev_t, ino_t>> counted_;
};

bool Copier::copy(int from, TreeMove::Node& node, int to, const QByteArray& toName,
                  const QByteArray& relative) {
    switch (node.st.type()) {
    case S_IFDIR:
        return copyFolder(from, node, to, toName, relative);
    case S_IFREG:
        return copyFile(from, node, to, toName, relative);
    default:
        return copyOther(from, node, to, toName);
    }
}

bool Copier::copyFolder(int from, TreeMove::Node& node, int to, const QByteArray& toName,
                        const QByteArray& relative) {
    const Descriptor source = openFolderAt(from, node.name);
    if (!source.isValid())
        return errno == ENOENT ? true : changed(); // gone since the survey: nothing to copy
    const std::optional<Stat> held = statOf(source.get());
    if (!held || !sameObject(*held, node.st))
        return changed();
    node.st = *held;
    if (::mkdirat(to, toName.constData(), 0700) != 0)
        return failWithErrno();
    node.copied = true; // from here on, the copy has this folder
    const Descriptor target = openFolderAt(to, toName);
    if (!target.isValid())
        return failWithErrno();
    if (top_ < 0)
        top_ = target.get();
    for (TreeMove::Node& child : node.children) {
        const QByteArray path = relative.isEmpty() ? child.name : relative + '/' + child.name;
        if (!copy(source.get(), child, target.get(), child.name, path))
            return false;
    }
    if (top_ == target.get())
        top_ = -1;
    return true;
}

bool Copier::copyFile(int from, TreeMove::Node& node, int to, const QByteArray& toName,
                      const QByteArray& relative) {
    constexpr int kRead = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    // Reading leaves the access time alone where this user may ask for that.
    Descriptor in(::openat(from, node.name.constData(), kRead | O_NOATIME));
    if (!in.isValid() && errno == EPERM)
        in = Descriptor(::openat(from, node.name.constData(), kRead));
    if (!in.isValid())
        return errno == ENOENT ? true : errno == ELOOP ? changed() : failWithErrno();
    const std::optional<Stat> before = statOf(in.get());
    if (!before || !sameObject(*before, node.st))
        return changed();

    if (before->links > 1) {
        const auto first = linked_.find(before->id());
        if (first != linked_.end() && top_ >= 0) {
            if (::linkat(top_, first->second.constData(), to, toName.constData(), 0) != 0)
                return failWithErrno();
            node.st = *before;
            node.copied = true;
            return true;
        }
    }

    const Descriptor out(::openat(to, toName.constData(),
                                  O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!out.isValid())
        return failWithErrno();
    node.copied = true;
    if (!copyData(in.get(), out.get(), *before))
        return false;
    if (const std::error_code code = finishObject(out.get(), Attributes{in.get(), {}}, *before))
        return fail(code);
    const std::optional<Stat> after = statOf(in.get());
    if (!after || !unchanged(*after, *before))
        return changed(); // written to while it was copied
    node.st = *after;
    if (before->links > 1 && top_ >= 0)
        linked_.emplace(before->id(), relative);
    return true;
}

// Links as links, and FIFOs.
bool Copier::copyOther(int from, TreeMove::Node& node, int to, const QByteArray& toName) {
    const std::optional<Stat> before = statAt(from, node.name);
    if (!before)
        return errno == ENOENT ? true : failWithErrno();
    if (!sameObject(*before, node.st))
        return changed();
    const char* const target = toName.constData();
    if (S_ISLNK(before->mode)) {
        QByteArray contents(qsizetype(before->size) + 1, '\0');
        const ssize_t length =
            ::readlinkat(from, node.name.constData(), contents.data(), size_t(contents.size()));
        if (length != before->size)
            return length < 0 ? failWithErrno() : changed();
        contents.truncate(length);
        if (::symlinkat(contents.constData(), to, target) != 0)
            return failWithErrno();
    } else if (::mkfifoat(to, target, 0600) != 0) {
        return failWithErrno();
    }
    node.copied = true;
    copyOwnerAt(to, target, *before);
    if (const std::error_code code = copyAttributes(Attributes{-1, procPath(from, node.name)},
                                                    Attributes{-1, procPath(to, toName)}))
        return fail(code);
    // A FIFO just made in our own copy: fchmodat may follow it safely.
    if (!S_ISLNK(before->mode) && ::fchmodat(to, target, before->mode & 07777, 0) != 0)
        return failWithErrno();
    const timespec times[2] = {before->atime, before->mtime};
    if (::utimensat(to, target, times, AT_SYMLINK_NOFOLLOW) != 0)
        return failWithErrno();
    const std::optional<Stat> after = statAt(from, node.name);
    if (!after || !unchanged(*after, *before))
        return changed();
    node.st = *after;
    return true;
}

// The data of a file, hole by hole: only the stretches the file system
// reports as data are copied, the rest stays unallocated in the copy.
bool Copier::copyData(int in, int out, const Stat& st) {
    const off_t size = st.size;
    off_t position = 0;
    // Only a file with fewer blocks than bytes can have holes.
    bool holes = qint64(st.blocks) * 512 < qint64(size);
    while (position < size) {
        off_t data = position;
        off_t end = size;
        if (holes) {
            data = ::lseek(in, position, SEEK_DATA);
            if (data < 0 && errno == ENXIO)
                break; // a hole up to the end
            if (data < 0 && errno != EINVAL && errno != EOPNOTSUPP)
                return failWithErrno();
            if (data < 0) {
                holes = false; // not reported by this file system: all data
                data = position;
            } else {
                end = ::lseek(in, data, SEEK_HOLE);
                if (end < 0)
                    return failWithErrno();
            }
        }
        end = std::min(end, size);
        if (data >= end)
            break;
        if (!copyRange(in, out, data, end - data))
            return false;
        position = end;
    }
    // A hole at the end has no data to write: the size makes it.
    if (position < size && ::ftruncate(out, size) != 0)
        return failWithErrno();
    return true;
}

bool Copier::copyRange(int in, int out, off_t offset, off_t length) {
    while (length > 0 && kernelCopy_) {
        off_t inOffset = offset;
        off_t outOffset = offset;
        const ssize_t n = ::copy_file_range(in, &inOffset, out, &outOffset, size_t(length), 0);
        if (n > 0) {
            offset += n;
            length -= n;
        } else if (n == 0) {
            return changed(); // shorter than it was
        } else if (errno == EINTR) {
            continue;
        } else if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP ||
                   errno == EBADF) {
            kernelCopy_ = false; // between these file systems: read and write
        } else {
            return failWithErrno();
        }
    }
    if (length > 0 && buffer_.empty())
        buffer_.resize(1 << 18);
    while (length > 0) {
        const ssize_t got = ::pread(in, buffer_.data(),
                                    size_t(std::min<off_t>(length, off_t(buffer_.size()))), offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return failWithErrno();
        if (got == 0)
            return changed();
        for (ssize_t done = 0; done < got;) {
            const ssize_t put =
                ::pwrite(out, buffer_.data() + done, size_t(got - done), offset + done);
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0)
                return failWithErrno();
            done += put;
        }
        offset += got;
        length -= got;
    }
    return true;
}

bool Copier::finishFolders(int from, const TreeMove::Node& node, int to, const QByteArray& toName) {
    if (!node.copied || !node.st.isFolder())
        return true;
    const Descriptor source = openFolderAt(from, node.name);
    const std::optional<Stat> held =
        source.isValid() ? statOf(source.get()) : std::optional<Stat>();
    if (!held || !sameObject(*held, node.st))
        return changed();
    const Descriptor target = openFolderAt(to, toName);
    if (!target.isValid())
        return failWithErrno();
    for (const TreeMove::Node& child : node.children) {
        if (!finishFolders(source.get(), child, target.get(), child.name))
            return false;
    }
    if (const std::error_code code =
            finishObject(target.get(), Attributes{source.get(), {}}, node.st))
        return fail(code);
    return true;
}

// ---- removing the original ---------------------------------------------

class Unlinker {
public:
    // Removes the entry node.name of `dir` as it was copied; true when it is
    // gone. What changed since it was copied stays, and so do its folders.
    bool remove(int dir, const TreeMove::Node& node) {
        const std::optional<Stat> now = statAt(dir, node.name);
        if (!now)
            return errno == ENOENT ? true : note(lastError()); // gone already: it is in the copy
        if (!node.copied || !sameObject(*now, node.st))
            return note(Error::changedWhileMoving); // not what was copied
        if (node.st.isFolder())
            return removeFolder(dir, node);
        if (!unchangedSinceCopy(*now, node.st))
            return note(Error::changedWhileMoving);
        if (::unlinkat(dir, node.name.constData(), 0) != 0)
            return errno == ENOENT ? true : note(lastError());
        removedAny = true;
        if (node.st.links > 1)
            ++unlinked_[node.st.id()];
        return true;
    }

    bool removedAny = false;
    std::error_code error;

private:
    bool note(std::error_code code) {
        if (!error)
            error = code;
        return false;
    }

    bool removeFolder(int dir, const TreeMove::Node& node) {
        bool all = true;
        {
            const Descriptor folder = openFolderAt(dir, node.name);
            const std::optional<Stat> held =
                folder.isValid() ? statOf(folder.get()) : std::optional<Stat>();
            if (!held || !sameObject(*held, node.st))
                return note(Error::changedWhileMoving);
            for (const TreeMove::Node& child : node.children)
                all = remove(folder.get(), child) && all;
        }
        if (!all)
            return false;
        // The name must still lead to the folder that was just emptied.
        const std::optional<Stat> again = statAt(dir, node.name);
        if (!again || !sameObject(*again, node.st))
            return note(Error::changedWhileMoving);
        if (::unlinkat(dir, node.name.constData(), AT_REMOVEDIR) != 0)
            return note(errno == ENOTEMPTY || errno == EEXIST
                            ? trash::make_error_code(Error::changedWhileMoving)
                            : lastError());
        removedAny = true;
        return true;
    }

    // Removing one name of a file with several changes its change time and
    // link count; only that much may differ for its other names.
    bool unchangedSinceCopy(const Stat& now, const Stat& copied) const {
        if (unchanged(now, copied))
            return true;
        const auto removed = unlinked_.find(copied.id());
        if (removed == unlinked_.end())
            return false;
        Stat expected = copied;
        expected.ctime = now.ctime;
        return unchanged(now, expected) && now.links + nlink_t(removed->second) == copied.links;
    }

    std::map<std::pair<dev_t, ino_t>, int> unlinked_;
};

// ---- merging -----------------------------------------------------------

bool sameBytes(int a, int b) {
    std::vector<char> left(1 << 16);
    std::vector<char> right(left.size());
    for (off_t offset = 0;;) {
        const ssize_t n = ::pread(a, left.data(), left.size(), offset);
        if (n < 0 || ::pread(b, right.data(), size_t(n), offset) != n)
            return false;
        if (n == 0)
            return true;
        if (!std::equal(left.begin(), left.begin() + n, right.begin()))
            return false;
        offset += n;
    }
}

// Whether two entries that are not folders hold the same: type, mode,
// modification time, and the bytes or link target.
bool identical(int dirA, const QByteArray& a, const Stat& sa, int dirB, const QByteArray& b,
               const Stat& sb) {
    if (sa.mode != sb.mode || sa.size != sb.size || !sameTime(sa.mtime, sb.mtime))
        return false;
    if (S_ISFIFO(sa.mode))
        return true;
    if (S_ISLNK(sa.mode)) {
        QByteArray left(qsizetype(sa.size) + 1, '\0');
        QByteArray right(left.size(), '\0');
        const ssize_t n = ::readlinkat(dirA, a.constData(), left.data(), size_t(left.size()));
        return n == sa.size &&
               ::readlinkat(dirB, b.constData(), right.data(), size_t(right.size())) == n &&
               left == right;
    }
    if (!S_ISREG(sa.mode))
        return false;
    constexpr int kRead = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    const Descriptor fa(::openat(dirA, a.constData(), kRead));
    const Descriptor fb(::openat(dirB, b.constData(), kRead));
    return fa.isValid() && fb.isValid() && sameBytes(fa.get(), fb.get());
}

} // namespace

// ---- public interface --------------------------------------------------

Descriptor& Descriptor::operator=(Descriptor&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

Descriptor::~Descriptor() {
    if (fd_ >= 0)
        ::close(fd_);
}

Descriptor openFolder(const QByteArray& path) {
    return Descriptor(::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

Descriptor holdFolder(const QByteArray& path) {
    return Descriptor(::open(path.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
}

Descriptor openFolderAt(int dir, const QByteArray& name) {
    return Descriptor(
        ::openat(dir, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

Relation relation(int dir, const QByteArray& name, int folder) {
    const std::optional<Stat> item = statAt(dir, name);
    const std::optional<Stat> target = statOf(folder);
    if (!item || !target)
        return Relation::apart;
    if (sameObject(*item, *target))
        return Relation::same;
    // Walks up from `start` through "..", which leaves a mount at its top.
    const auto hasAncestor = [](int start, const Stat& wanted) {
        Descriptor current(::openat(start, ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
        std::optional<Stat> st = statOf(current.get());
        while (st) {
            if (sameObject(*st, wanted))
                return true;
            Descriptor up(::openat(current.get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
            const std::optional<Stat> above = statOf(up.get());
            if (!above || sameObject(*above, *st))
                return false; // the root
            current = std::move(up);
            st = above;
        }
        return false;
    };
    if (item->isFolder() && hasAncestor(folder, *item))
        return Relation::contains;
    if (hasAncestor(dir, *target))
        return Relation::inside;
    return Relation::apart;
}

TreeMove::TreeMove(int dir, const QByteArray& name) : dir_(dir), root_(std::make_unique<Node>()) {
    root_->name = name;
    const std::optional<Stat> parent = statOf(dir);
    if (!parent) {
        error_ = lastError();
        return;
    }
    const std::optional<Stat> item = statAt(dir, name);
    if (!item) {
        error_ = lastError();
        return;
    }
    Surveyor surveyor(item->device);
    if (surveyor.allowsRemoval(dir, *parent))
        surveyor.survey(dir, *parent, *root_, true);
    error_ = surveyor.error;
    bytes_ = surveyor.bytes;
}

TreeMove::~TreeMove() = default;

MoveOutcome TreeMove::run(int toDir, const QByteArray& toName,
                          const std::function<void()>& beforeRemoval) {
    if (error_)
        return {error_};
    struct statvfs space {};
    if (::fstatvfs(toDir, &space) == 0 && qint64(space.f_bavail) * qint64(space.f_frsize) < bytes_)
        return {std::error_code(ENOSPC, std::generic_category())};

    Copier copier;
    bool copied = copier.copy(dir_, *root_, toDir, toName, {}) &&
                  copier.finishFolders(dir_, *root_, toDir, toName);
    // On disk before anything of the original goes.
    if (copied && ::syncfs(toDir) != 0) {
        copier.error = lastError();
        copied = false;
    }
    if (!copied) {
        if (root_->copied)
            removeOwn(toDir, toName);
        return {copier.error};
    }
    if (beforeRemoval)
        beforeRemoval();

    Unlinker unlinker;
    if (unlinker.remove(dir_, *root_))
        return {};
    if (unlinker.removedAny)
        return {unlinker.error, true};
    // Nothing of the original went: the copy is not needed.
    removeOwn(toDir, toName);
    return {unlinker.error};
}

MoveOutcome move(int fromDir, const QByteArray& name, int toDir, const QByteArray& toName) {
    if (::renameat2(fromDir, name.constData(), toDir, toName.constData(), RENAME_NOREPLACE) == 0)
        return {};
    if (errno == EINVAL || errno == ENOSYS) {
        // A file system that cannot rename without replacing: look first.
        if (statAt(toDir, toName))
            return {std::error_code(EEXIST, std::generic_category())};
        if (::renameat(fromDir, name.constData(), toDir, toName.constData()) == 0)
            return {};
    }
    if (errno != EXDEV)
        return {lastError()};
    TreeMove byCopy(fromDir, name);
    return byCopy.run(toDir, toName);
}

MergeOutcome mergeBack(int copyDir, const QByteArray& copyName, int intoDir,
                       const QByteArray& intoName) {
    const std::optional<Stat> copy = statAt(copyDir, copyName);
    if (!copy)
        return {lastError()};
    const std::optional<Stat> into = statAt(intoDir, intoName);
    if (!into && errno != ENOENT)
        return {lastError()};
    if (!into) {
        const MoveOutcome moved = move(copyDir, copyName, intoDir, intoName);
        return {moved.copyKept ? std::error_code() : moved.error, !moved.error};
    }
    if (copy->isFolder() && into->isFolder()) {
        const Descriptor from = openFolderAt(copyDir, copyName);
        const Descriptor to = openFolderAt(intoDir, intoName);
        const std::optional<std::vector<QByteArray>> names =
            from.isValid() && to.isValid() ? namesIn(from.get()) : std::nullopt;
        if (!names)
            return {lastError()};
        MergeOutcome outcome;
        for (const QByteArray& name : *names) {
            const MergeOutcome entry = mergeBack(from.get(), name, to.get(), name);
            if (entry.error && !outcome.error)
                outcome.error = entry.error;
        }
        outcome.emptied = ::unlinkat(copyDir, copyName.constData(), AT_REMOVEDIR) == 0;
        return outcome;
    }
    if (identical(copyDir, copyName, *copy, intoDir, intoName, *into)) {
        removeOwn(copyDir, copyName);
        return {{}, true};
    }
    return {}; // the place holds its own version; the copy's stays
}

} // namespace moss::tree
