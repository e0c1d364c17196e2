#include "TreeFingerprint.h"

#include "platform/FileSystem.h"

#include <QCryptographicHash>
#include <QMap>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace moss::test {

namespace {

using namespace Qt::StringLiterals;

QString contentHash(const QString& path) {
    const int fd = ::open(fs::encodePath(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return u"?"_s;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    char buffer[1 << 16];
    ssize_t n = 0;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
        hash.addData(QByteArrayView(buffer, n));
    ::close(fd);
    return QString::fromLatin1(hash.result().toHex());
}

QString attributes(const QString& path) {
    const QByteArray encoded = fs::encodePath(path);
    QByteArray names(4096, '\0');
    const ssize_t size = ::llistxattr(encoded.constData(), names.data(), size_t(names.size()));
    QStringList out;
    for (const QByteArray& name : names.left(qMax<ssize_t>(size, 0)).split('\0')) {
        if (name.isEmpty())
            continue;
        QByteArray value(4096, '\0');
        const ssize_t length =
            ::lgetxattr(encoded.constData(), name.constData(), value.data(), size_t(value.size()));
        out.append(QString::fromLatin1(name + '=' + value.left(qMax<ssize_t>(length, 0)).toHex()));
    }
    out.sort();
    return out.join(u',');
}

class Fingerprinter {
public:
    explicit Fingerprinter(Detail detail) : detail_(detail) {}

    QString of(const QString& path) {
        struct stat st {};
        if (::lstat(fs::encodePath(path).constData(), &st) != 0)
            return u"missing"_s;
        QString out;
        if (S_ISDIR(st.st_mode))
            out = folder(path);
        else if (S_ISLNK(st.st_mode))
            out = u"link:"_s + fs::symlinkTarget(path).value_or(QString());
        else if (S_ISREG(st.st_mode))
            out = u"file:"_s + contentHash(path);
        else if (S_ISFIFO(st.st_mode))
            out = u"fifo"_s;
        else
            out = u"other"_s;
        if (detail_ == Detail::metadata)
            out += metadata(path, st);
        return out;
    }

private:
    QString folder(const QString& path) {
        QStringList names = fs::listDirectory(path).value_or(QStringList{u"<unreadable>"_s});
        names.sort();
        QString out = u"dir{"_s;
        for (const QString& name : std::as_const(names))
            out += name + u'=' + of(fs::appending(path, name)) + u';';
        return out + u'}';
    }

    QString metadata(const QString& path, const struct stat& st) {
        QString out = u"[%1 %2:%3"_s.arg(st.st_mode & 07777, 0, 8).arg(st.st_uid).arg(st.st_gid);
        if (!S_ISDIR(st.st_mode))
            out += u" t%1.%2"_s.arg(st.st_mtim.tv_sec).arg(st.st_mtim.tv_nsec);
        if (S_ISREG(st.st_mode) && st.st_nlink > 1) {
            const auto group = links_.insert(st.st_ino, links_.size());
            out += u" link#%1"_s.arg(*group);
        }
        if (S_ISREG(st.st_mode) && st.st_blocks * 512 < st.st_size)
            out += u" holes"_s;
        return out + u' ' + attributes(path) + u']';
    }

    Detail detail_;
    QMap<ino_t, qsizetype> links_;
};

} // namespace

QString fingerprint(const QString& path, Detail detail) {
    return Fingerprinter(detail).of(path);
}

} // namespace moss::test
