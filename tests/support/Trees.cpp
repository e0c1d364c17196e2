#include "Trees.h"

#include "platform/FileSystem.h"

#include <QCryptographicHash>
#include <QFile>
#include <QMap>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace moss::test {

namespace {

using namespace Qt::StringLiterals;

QString attributes(const QByteArray& path) {
    QByteArray names(4096, '\0'), value(4096, '\0');
    names.truncate(qMax<ssize_t>(::llistxattr(path.constData(), names.data(), 4096), 0));
    QStringList out;
    for (const QByteArray& name : names.split('\0')) {
        const ssize_t size = ::lgetxattr(path.constData(), name.constData(), value.data(), 4096);
        if (!name.isEmpty())
            out.append(QString::fromLatin1(name + '=' + value.left(qMax(size, 0)).toHex()));
    }
    out.sort();
    return out.join(u',');
}

// `links` numbers the files with more than one name in the order met.
QString fingerprintOf(const QString& path, Detail detail, QMap<ino_t, qsizetype>& links) {
    struct stat st {};
    if (::lstat(fs::encodePath(path).constData(), &st) != 0)
        return u"missing"_s;
    QString out = S_ISFIFO(st.st_mode) ? u"fifo"_s : u"other"_s;
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
        QFile file;
        QCryptographicHash hash(QCryptographicHash::Sha256);
        const int fd = ::open(fs::encodePath(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        const bool read = fd >= 0 && file.open(fd, QIODevice::ReadOnly, QFile::AutoCloseHandle) &&
                          hash.addData(&file);
        out = u"file:"_s + (read ? QString::fromLatin1(hash.result().toHex()) : u"?"_s);
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
    return out + u' ' + attributes(fs::encodePath(path)) + u']';
}

void writeFile(const QByteArray& path, const QByteArray& contents, off_t offset = 0) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    [[maybe_unused]] const ssize_t written =
        ::pwrite(fd, contents.constData(), size_t(contents.size()), offset);
    [[maybe_unused]] const int rc = ::ftruncate(fd, offset * 2 + contents.size());
    ::close(fd);
}

} // namespace

QString fingerprint(const QString& path, Detail detail) {
    QMap<ino_t, qsizetype> links;
    return fingerprintOf(path, detail, links);
}

void makeRichTree(const QString& path) {
    fs::makePath(path);
    const QByteArray root = fs::encodePath(path), acl = root + "/acl", shared = root + "/shared";
    // A POSIX ACL as the kernel keeps it: the owner reads and writes, user
    // 65534, the group and the mask read.
    const QByteArray readableByNobody = QByteArray::fromHex(
        "0200000001000600ffffffff02000400feff000004000400ffffffff10000400ffffffff20000000ffffffff");
    writeFile(acl, "owned by nobody");
    [[maybe_unused]] const int rc = ::chown(acl.constData(), 65534, 65534);
    ::chmod(acl.constData(), 04640);
    ::lsetxattr(acl.constData(), "user.origin", "downloaded", 10, 0);
    ::lsetxattr(acl.constData(), "system.posix_acl_access", readableByNobody.constData(), 44, 0);
    const struct timespec times[2] = {{1000000000, 0}, {1000000000, 123}};
    ::utimensat(AT_FDCWD, acl.constData(), times, AT_SYMLINK_NOFOLLOW);
    ::mkdir(shared.constData(), 0750);
    ::lsetxattr(shared.constData(), "system.posix_acl_default", readableByNobody.constData(), 44,
                0);
    writeFile(shared + "/one", "linked");
    ::link((shared + "/one").constData(), (root + "/two").constData());
    writeFile(root + "/holes", QByteArray(1 << 16, 'd'), 4 << 20);
    [[maybe_unused]] const int linked = ::symlink("../outside", (root + "/link").constData());
    ::utimensat(AT_FDCWD, (root + "/link").constData(), times, AT_SYMLINK_NOFOLLOW);
    ::mkfifo((root + "/fifo").constData(), 0604);
}

} // namespace moss::test
