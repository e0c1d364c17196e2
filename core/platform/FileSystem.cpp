#include "platform/FileSystem.h"

#include <QDir>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fts.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace moss::fs {

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

bool isContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// Length of the valid UTF-8 sequence starting at p (at most n bytes), and its
// code point; 0 when the bytes there are not a valid sequence.
int utf8Sequence(const unsigned char* p, qsizetype n, char32_t& cp) {
    const unsigned char c = p[0];
    if (c < 0x80) {
        cp = c;
        return 1;
    }
    if (c >= 0xC2 && c <= 0xDF && n >= 2 && isContinuation(p[1])) {
        cp = (char32_t(c & 0x1F) << 6) | (p[1] & 0x3F);
        return 2;
    }
    if (c >= 0xE0 && c <= 0xEF && n >= 3 && isContinuation(p[1]) && isContinuation(p[2])) {
        cp = (char32_t(c & 0x0F) << 12) | (char32_t(p[1] & 0x3F) << 6) | (p[2] & 0x3F);
        if (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))
            return 0; // overlong, or an encoded surrogate
        return 3;
    }
    if (c >= 0xF0 && c <= 0xF4 && n >= 4 && isContinuation(p[1]) && isContinuation(p[2]) &&
        isContinuation(p[3])) {
        cp = (char32_t(c & 0x07) << 18) | (char32_t(p[1] & 0x3F) << 12) |
             (char32_t(p[2] & 0x3F) << 6) | (p[3] & 0x3F);
        if (cp < 0x10000 || cp > 0x10FFFF)
            return 0;
        return 4;
    }
    return 0;
}

QStringList splitComponents(const QString& path) {
    return path.split(u'/', Qt::SkipEmptyParts);
}

// The current folder, byte-exactly (QDir would lose invalid UTF-8 bytes).
QString currentPath() {
    char* cwd = ::getcwd(nullptr, 0);
    const QString path = cwd ? decodePath(cwd) : QStringLiteral("/");
    std::free(cwd);
    return path;
}

QString joinComponents(const QStringList& parts) {
    if (parts.isEmpty())
        return QStringLiteral("/");
    QString out;
    for (const QString& part : parts) {
        out += u'/';
        out += part;
    }
    return out;
}

} // namespace

QByteArray encodePath(const QString& path) {
    // Without surrogates the path is valid UTF-16 and carries no raw bytes.
    if (std::none_of(path.cbegin(), path.cend(), [](QChar unit) { return unit.isSurrogate(); }))
        return path.toUtf8();
    QByteArray out;
    out.reserve(path.size());
    const qsizetype n = path.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = path.at(i).unicode();
        if (u < 0x80) {
            out.append(char(u));
        } else if (u >= 0xDC80 && u <= 0xDCFF) {
            out.append(char(u - kEscapeBase)); // an escaped raw byte
        } else if (QChar::isHighSurrogate(u) && i + 1 < n &&
                   QChar::isLowSurrogate(path.at(i + 1).unicode())) {
            const char32_t cp = QChar::surrogateToUcs4(u, path.at(i + 1).unicode());
            ++i;
            out.append(char(0xF0 | (cp >> 18)));
            out.append(char(0x80 | ((cp >> 12) & 0x3F)));
            out.append(char(0x80 | ((cp >> 6) & 0x3F)));
            out.append(char(0x80 | (cp & 0x3F)));
        } else if (u < 0x800) {
            out.append(char(0xC0 | (u >> 6)));
            out.append(char(0x80 | (u & 0x3F)));
        } else {
            // Includes lone surrogates other than escaped bytes: written as
            // their three-byte form, which is what such a string stands for.
            out.append(char(0xE0 | (u >> 12)));
            out.append(char(0x80 | ((u >> 6) & 0x3F)));
            out.append(char(0x80 | (u & 0x3F)));
        }
    }
    return out;
}

QString decodePath(const QByteArray& bytes) {
    if (std::all_of(bytes.cbegin(), bytes.cend(), [](char byte) { return byte >= 0; }))
        return QString::fromLatin1(bytes); // ASCII
    QString out;
    out.reserve(bytes.size());
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        char32_t cp = 0;
        const int len = utf8Sequence(p + i, n - i, cp);
        if (len == 0) {
            out.append(QChar(char16_t(kEscapeBase + p[i])));
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            out.append(QChar(QChar::highSurrogate(cp)));
            out.append(QChar(QChar::lowSurrogate(cp)));
        } else {
            out.append(QChar(char16_t(cp)));
        }
        i += len;
    }
    return out;
}

QString decodePath(const char* bytes) {
    return decodePath(QByteArray(bytes));
}

QString standardized(const QString& path) {
    QString absolute = path;
    if (!absolute.startsWith(u'/'))
        absolute = currentPath() + u'/' + absolute;
    QStringList parts;
    for (const QString& part : splitComponents(absolute)) {
        if (part == u".")
            continue;
        if (part == u"..") {
            if (!parts.isEmpty())
                parts.removeLast();
            continue;
        }
        parts.append(part);
    }
    return joinComponents(parts);
}

QString resolvingSymlinks(const QString& path) {
    QStringList pending = splitComponents(standardized(path));
    QStringList done;
    int linksFollowed = 0;
    while (!pending.isEmpty()) {
        const QString part = pending.takeFirst();
        if (part == u".")
            continue;
        if (part == u"..") {
            if (!done.isEmpty())
                done.removeLast();
            continue;
        }
        done.append(part);
        const QByteArray current = encodePath(joinComponents(done));
        struct stat st {};
        if (::lstat(current.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            continue;
        if (++linksFollowed > 40)
            return standardized(path); // a loop: give up resolving
        QByteArray target(PATH_MAX, '\0');
        const ssize_t len = ::readlink(current.constData(), target.data(), target.size());
        if (len <= 0)
            continue;
        target.truncate(len);
        const QString link = decodePath(target);
        done.removeLast();
        if (link.startsWith(u'/'))
            done.clear();
        pending = splitComponents(link) + pending;
    }
    return joinComponents(done);
}

QString lastComponent(const QString& path) {
    const QStringList parts = splitComponents(path);
    return parts.isEmpty() ? QStringLiteral("/") : parts.last();
}

QString parentPath(const QString& path) {
    QStringList parts = splitComponents(path);
    if (!parts.isEmpty())
        parts.removeLast();
    return joinComponents(parts);
}

QString pathExtension(const QString& path) {
    const QString name = lastComponent(path);
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot <= 0 || dot == name.size() - 1)
        return {};
    return name.mid(dot + 1);
}

QString deletingExtension(const QString& name) {
    const QString ext = pathExtension(name);
    if (ext.isEmpty())
        return name;
    return name.left(name.size() - ext.size() - 1);
}

QString appending(const QString& dir, const QString& component) {
    if (dir.endsWith(u'/'))
        return dir + component;
    return dir + u'/' + component;
}

EntryType entryType(const QString& path) {
    struct stat st {};
    if (::lstat(encodePath(path).constData(), &st) != 0)
        return EntryType::missing;
    if (S_ISLNK(st.st_mode))
        return EntryType::symlink;
    if (S_ISDIR(st.st_mode))
        return EntryType::directory;
    if (S_ISREG(st.st_mode))
        return EntryType::file;
    return EntryType::other;
}

bool exists(const QString& path) {
    return entryType(path) != EntryType::missing;
}

bool isDirectory(const QString& path) {
    struct stat st {};
    return ::stat(encodePath(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isRealDirectory(const QString& path) {
    return entryType(path) == EntryType::directory;
}

std::optional<QString> symlinkTarget(const QString& path) {
    QByteArray target(PATH_MAX, '\0');
    const ssize_t len = ::readlink(encodePath(path).constData(), target.data(), target.size());
    if (len < 0)
        return std::nullopt;
    target.truncate(len);
    return decodePath(target);
}

bool isWritable(const QString& path) {
    return ::access(encodePath(path).constData(), W_OK) == 0;
}

std::optional<EntryStatus> entryStatus(const QString& path, bool followLinks) {
    struct stat st {};
    const QByteArray encoded = encodePath(path);
    if ((followLinks ? ::stat(encoded.constData(), &st) : ::lstat(encoded.constData(), &st)) != 0)
        return std::nullopt;
    return EntryStatus{quint64(st.st_dev), quint64(st.st_ino), uint(st.st_uid),
                       (st.st_mode & S_ISVTX) != 0};
}

uint currentUser() {
    return uint(::geteuid());
}

std::optional<QStringList> listDirectory(const QString& dir, bool includeHidden) {
    DIR* handle = ::opendir(encodePath(dir).constData());
    if (!handle)
        return std::nullopt;
    QStringList names;
    while (const dirent* entry = ::readdir(handle)) {
        const char* name = entry->d_name;
        if (name[0] == '.') {
            if (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))
                continue;
            if (!includeHidden)
                continue;
        }
        names.append(decodePath(name));
    }
    ::closedir(handle);
    return names;
}

namespace {

// An open regular file, closed when it goes out of scope. Never blocks on a
// FIFO or a device: those are not regular files and are refused.
class RegularFile {
public:
    explicit RegularFile(const QString& path)
        : fd_(::open(encodePath(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)) {
        struct stat st {};
        if (fd_ >= 0 && (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode))) {
            ::close(fd_);
            fd_ = -1;
        }
        size_ = fd_ >= 0 ? quint64(st.st_size) : 0;
    }
    ~RegularFile() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    quint64 size() const { return size_; }

private:
    int fd_;
    quint64 size_ = 0;
};

} // namespace

std::optional<QByteArray> readFileRange(const QString& path, quint64 offset, quint64 length) {
    const RegularFile file(path);
    if (!file.isOpen() || offset > file.size() || length > file.size() - offset ||
        length > quint64(std::numeric_limits<qsizetype>::max()))
        return std::nullopt;
    QByteArray data(qsizetype(length), Qt::Uninitialized);
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t got = ::pread(file.fd(), data.data() + done, size_t(data.size() - done),
                                    off_t(offset + quint64(done)));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return std::nullopt; // shrank meanwhile, or an I/O error
        done += got;
    }
    return data;
}

std::optional<QByteArray> readFile(const QString& path, qint64 maxBytes) {
    const RegularFile file(path);
    if (!file.isOpen())
        return std::nullopt;
    const int fd = file.fd();
    QByteArray data;
    char buffer[65536];
    while (data.size() < maxBytes) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        data.append(buffer, qsizetype(std::min<qint64>(got, maxBytes - data.size())));
    }
    return data;
}

namespace {

// Folders deeper than this below the measured one are walked by path, so that
// a deep tree never holds more than this many descriptors open.
constexpr int maxOpenDepth = 64;

qint64 allocatedBytes(const struct stat& st) {
    return qint64(st.st_blocks) * 512;
}

// One size walk: the bytes counted so far, and whether it gave up because
// its caller asked it to stop (checked before every entry).
struct SizeWalk {
    explicit SizeWalk(const std::stop_token& stop) : stop_(stop) {}

    bool stopping() {
        if (!stopped && stop_.stop_requested())
            stopped = true;
        return stopped;
    }

    // The sum over every entry below the folder at path, by path (fts).
    void addBelowPath(const QByteArray& path) {
        char* roots[] = {const_cast<char*>(path.constData()), nullptr};
        FTS* tree = ::fts_open(roots, FTS_PHYSICAL | FTS_NOCHDIR, nullptr);
        if (!tree)
            return;
        while (!stopping()) {
            const FTSENT* entry = ::fts_read(tree);
            if (!entry)
                break;
            if (entry->fts_level == 0)
                continue; // the folder's own entry is not counted
            switch (entry->fts_info) {
            case FTS_DP:
                break; // a folder seen again on the way back up
            case FTS_D:
            case FTS_DC:
            case FTS_DNR:
            case FTS_F:
            case FTS_SL:
            case FTS_SLNONE:
            case FTS_DEFAULT:
                if (entry->fts_statp)
                    total += allocatedBytes(*entry->fts_statp);
                break;
            default:
                break; // FTS_NS, FTS_ERR: unreadable, adds nothing
            }
        }
        ::fts_close(tree);
    }

    // The sum over every entry below an open folder, each entry looked up
    // relative to its folder's descriptor; takes ownership of folder. path
    // names the folder, for the walk by path past maxOpenDepth.
    void addBelow(int folder, const QByteArray& path, int depth) {
        DIR* listing = ::fdopendir(folder);
        if (!listing) {
            ::close(folder);
            return;
        }
        while (!stopping()) {
            const dirent* entry = ::readdir(listing);
            if (!entry)
                break;
            const char* name = entry->d_name;
            struct stat st {};
            if (isDotOrDotDot(name) || ::fstatat(folder, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            total += allocatedBytes(st);
            if (!S_ISDIR(st.st_mode))
                continue;
            const QByteArray childPath = path + '/' + name;
            if (depth >= maxOpenDepth) {
                addBelowPath(childPath);
                continue;
            }
            const int child =
                ::openat(folder, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (child >= 0)
                addBelow(child, childPath, depth + 1);
        }
        ::closedir(listing);
    }

    qint64 total = 0;
    bool stopped = false;

private:
    static bool isDotOrDotDot(const char* name) {
        return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
    }

    const std::stop_token& stop_;
};

} // namespace

qint64 allocatedSize(const QString& path) {
    return allocatedSize(path, std::stop_token()).value_or(0);
}

std::optional<qint64> allocatedSize(const QString& path, const std::stop_token& stop) {
    const QByteArray encoded = encodePath(path);
    struct stat st {};
    if (::lstat(encoded.constData(), &st) != 0)
        return 0;
    if (!S_ISDIR(st.st_mode))
        return allocatedBytes(st);
    const int folder = ::open(encoded.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0)
        return 0;
    SizeWalk walk(stop);
    walk.addBelow(folder, encoded, 0);
    return walk.stopped ? std::nullopt : std::optional(walk.total);
}

bool makePath(const QString& path) {
    if (isDirectory(path))
        return true;
    const QString parent = parentPath(path);
    if (parent != path && !isDirectory(parent) && !makePath(parent))
        return false;
    if (::mkdir(encodePath(path).constData(), 0777) == 0)
        return true;
    return errno == EEXIST && isDirectory(path);
}

bool moveNoReplace(const QString& from, const QString& to) {
    const QByteArray source = encodePath(from);
    const QByteArray target = encodePath(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) ==
        0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // The file system cannot rename without replacing: check first.
    struct stat st {};
    if (::lstat(target.constData(), &st) == 0)
        return false;
    return ::rename(source.constData(), target.constData()) == 0;
}

QString pathFromFileUrl(const QUrl& url) {
    if (!url.isLocalFile())
        return {};
    // toLocalFile() decodes as UTF-8 and replaces what is not; decode the
    // percent-encoded bytes ourselves instead.
    const QByteArray encoded = url.path(QUrl::FullyEncoded).toLatin1();
    return decodePath(QByteArray::fromPercentEncoding(encoded));
}

QString homePath() {
    return standardized(QDir::homePath());
}

QString tempPath() {
    return resolvingSymlinks(QDir::tempPath());
}

} // namespace moss::fs
