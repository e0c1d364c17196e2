#include "Trees.h"

#include "platform/FileSystem.h"

#include <QCryptographicHash>
#include <QFile>
#include <QMap>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <tuple>
#include <unistd.h>

namespace moss::test {

namespace {

using namespace Qt::StringLiterals;

QByteArray encoded(const QString& path) {
    return fs::encodePath(path);
}

QString attributes(const QString& path) {
    QByteArray names(4096, '\0');
    names.truncate(qMax<ssize_t>(::llistxattr(encoded(path).constData(), names.data(), 4096), 0));
    QStringList out;
    for (const QByteArray& name : names.split('\0')) {
        QByteArray value(4096, '\0');
        value.truncate(qMax<ssize_t>(
            ::lgetxattr(encoded(path).constData(), name.constData(), value.data(), 4096), 0));
        if (!name.isEmpty())
            out.append(QString::fromLatin1(name + '=' + value.toHex()));
    }
    out.sort();
    return out.join(u',');
}

// `links` numbers the files with more than one name in the order met.
QString fingerprintOf(const QString& path, Detail detail, QMap<ino_t, qsizetype>& links) {
    struct stat st {};
    if (::lstat(encoded(path).constData(), &st) != 0)
        return u"missing"_s;
    QString out = u"other"_s;
    if (S_ISDIR(st.st_mode)) {
        QStringList names = fs::listDirectory(path).value_or(QStringList{u"<unreadable>"_s});
        names.sort();
        out = u"dir{"_s;
        for (const QString& name : std::as_const(names))
            out += name + u'=' + fingerprintOf(fs::appending(path, name), detail, links) + u';';
        out += u'}';
    } else if (S_ISLNK(st.st_mode)) {
        out = u"link:"_s + fs::symlinkTarget(path).value_or(QString());
    } else if (S_ISREG(st.st_mode)) {
        // Read on its own, not through the code under test.
        const int fd = ::open(encoded(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        QFile file;
        QCryptographicHash hash(QCryptographicHash::Sha256);
        const bool read = fd >= 0 && file.open(fd, QIODevice::ReadOnly, QFile::AutoCloseHandle) &&
                          hash.addData(&file);
        out = u"file:"_s + (read ? QString::fromLatin1(hash.result().toHex()) : u"?"_s);
    } else if (S_ISFIFO(st.st_mode)) {
        out = u"fifo"_s;
    }
    if (detail == Detail::contents)
        return out;
    out += u"[%1 %2:%3"_s.arg(st.st_mode & 07777, 0, 8).arg(st.st_uid).arg(st.st_gid);
    if (!S_ISDIR(st.st_mode))
        out += u" t%1.%2"_s.arg(st.st_mtim.tv_sec).arg(st.st_mtim.tv_nsec);
    if (S_ISREG(st.st_mode) && st.st_nlink > 1)
        out += u" link#%1"_s.arg(*links.insert(st.st_ino, links.value(st.st_ino, links.size())));
    if (S_ISREG(st.st_mode) && st.st_blocks * 512 < st.st_size)
        out += u" holes"_s;
    return out + u' ' + attributes(path) + u']';
}

// A POSIX ACL as the kernel keeps it in system.posix_acl_*: the owner reads
// and writes, user 65534 and the group read.
QByteArray readableByNobody() {
    QByteArray acl;
    const auto put = [&acl](quint32 value, int size) {
        for (int i = 0; i < size; ++i)
            acl.append(char((value >> (8 * i)) & 0xff));
    };
    put(2, 4); // version
    const quint32 none = 0xffffffff;
    for (const auto& [tag, permissions, id] : {std::tuple{0x01u, 6u, none},
                                               {0x02u, 4u, 65534u},
                                               {0x04u, 4u, none},
                                               {0x10u, 4u, none},
                                               {0x20u, 0u, none}}) {
        put(tag, 2);
        put(permissions, 2);
        put(id, 4);
    }
    return acl;
}

void setAttribute(const QString& path, const char* name, const QByteArray& value) {
    ::lsetxattr(encoded(path).constData(), name, value.constData(), size_t(value.size()), 0);
}

void setTime(const QString& path, time_t seconds) {
    const struct timespec times[2] = {{seconds, 0}, {seconds, 123}};
    ::utimensat(AT_FDCWD, encoded(path).constData(), times, AT_SYMLINK_NOFOLLOW);
}

void writeFile(const QString& path, const QByteArray& contents, off_t offset = 0, off_t size = -1) {
    const int fd = ::open(encoded(path).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    [[maybe_unused]] const ssize_t written =
        ::pwrite(fd, contents.constData(), size_t(contents.size()), offset);
    [[maybe_unused]] const int rc = size >= 0 ? ::ftruncate(fd, size) : 0;
    ::close(fd);
}

} // namespace

QString fingerprint(const QString& path, Detail detail) {
    QMap<ino_t, qsizetype> links;
    return fingerprintOf(path, detail, links);
}

void makeRichTree(const QString& path) {
    fs::makePath(path);
    const QString acl = path + u"/acl"_s;
    writeFile(acl, "owned by nobody");
    [[maybe_unused]] const int rc = ::chown(encoded(acl).constData(), 65534, 65534);
    ::chmod(encoded(acl).constData(), 04640);
    setAttribute(acl, "user.origin", "downloaded");
    setAttribute(acl, "system.posix_acl_access", readableByNobody());
    setTime(acl, 1000000000);
    const QString shared = path + u"/shared"_s;
    ::mkdir(encoded(shared).constData(), 0750);
    setAttribute(shared, "system.posix_acl_default", readableByNobody());
    writeFile(shared + u"/one"_s, "linked");
    ::link(encoded(shared + u"/one"_s).constData(), encoded(path + u"/two"_s).constData());
    writeFile(path + u"/holes"_s, QByteArray(1 << 16, 'd'), 4 << 20, 8 << 20);
    [[maybe_unused]] const int linked =
        ::symlink("../outside", encoded(path + u"/link"_s).constData());
    setTime(path + u"/link"_s, 1100000000);
    ::mkfifo(encoded(path + u"/fifo"_s).constData(), 0604);
    setTime(shared, kSharedTime);
}

FileFlag::FileFlag(const QString& path, int flag)
    : fd_(::open(encoded(path).constData(), O_RDONLY | O_CLOEXEC)) {
    set_ = fd_ >= 0 && ::ioctl(fd_, FS_IOC_SETFLAGS, &flag) == 0;
}

FileFlag::~FileFlag() {
    int none = 0;
    if (set_)
        ::ioctl(fd_, FS_IOC_SETFLAGS, &none);
    if (fd_ >= 0)
        ::close(fd_);
}

} // namespace moss::test
