#include "Sandbox.h"

#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

namespace moss::test {

namespace {

const char* const kVariables[] = {"HOME",
                                  "TMPDIR",
                                  "XDG_DATA_HOME",
                                  "XDG_CACHE_HOME",
                                  "XDG_CONFIG_HOME",
                                  "XDG_RUNTIME_DIR",
                                  "XDG_STATE_HOME",
                                  "XDG_DATA_DIRS",
                                  "DPKG_ADMINDIR",
                                  "FLATPAK_SYSTEM_DIR",
                                  "FLATPAK_USER_DIR"};

int allowOwner(const char* path, const struct stat* st, int type, FTW*) {
    if (type == FTW_D || type == FTW_DNR)
        ::chmod(path, (st->st_mode & 07777) | S_IRWXU);
    return 0;
}

// Byte-exact removal: names that are not valid UTF-8 go too.
int removeEntry(const char* path, const struct stat*, int, FTW*) {
    ::remove(path);
    return 0;
}

} // namespace

Sandbox::Sandbox() : dir_(QDir::tempPath() + QStringLiteral("/sandbox-XXXXXX")) {
    root_ = fs::resolvingSymlinks(dir_.path());
    makeDir(QStringLiteral("home"));
    makeDir(QStringLiteral("tmp"));
    QFile::setPermissions(makeDir(QStringLiteral("runtime")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

Sandbox::~Sandbox() {
    if (active_) {
        for (const char* name : kVariables) {
            const QString key = QString::fromLatin1(name);
            if (saved_.contains(key))
                qputenv(name, saved_.value(key).toLocal8Bit());
            else
                qunsetenv(name);
        }
    }
    // Tests may leave read-only or unlistable folders: open them up first.
    const QByteArray root = fs::encodePath(root_);
    ::nftw(root.constData(), allowOwner, 64, FTW_PHYS);
    ::nftw(root.constData(), removeEntry, 64, FTW_PHYS | FTW_DEPTH);
}

QString Sandbox::path(const QString& relative) const {
    return relative.isEmpty() ? root_ : root_ + u'/' + relative;
}

QProcessEnvironment Sandbox::environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home());
    env.insert(QStringLiteral("TMPDIR"), path(QStringLiteral("tmp")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home() + QStringLiteral("/.local/share"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home() + QStringLiteral("/.cache"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home() + QStringLiteral("/.config"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), path(QStringLiteral("runtime")));
    // The machine's installed Linux applications and package databases stay
    // out of sight too.
    env.insert(QStringLiteral("XDG_STATE_HOME"), home() + QStringLiteral("/.local/state"));
    env.insert(QStringLiteral("XDG_DATA_DIRS"),
               path(QStringLiteral("usr/local/share")) + u':' + path(QStringLiteral("usr/share")));
    env.insert(QStringLiteral("DPKG_ADMINDIR"), path(QStringLiteral("dpkg")));
    env.insert(QStringLiteral("FLATPAK_SYSTEM_DIR"), path(QStringLiteral("flatpak")));
    env.insert(QStringLiteral("FLATPAK_USER_DIR"),
               home() + QStringLiteral("/.local/share/flatpak"));
    env.insert(QStringLiteral("QML_DISABLE_DISK_CACHE"), QStringLiteral("1"));
    return env;
}

void Sandbox::activate() {
    if (!active_)
        saved_ = QProcessEnvironment::systemEnvironment();
    active_ = true;
    const QProcessEnvironment env = environment();
    for (const char* name : kVariables)
        qputenv(name, env.value(QString::fromLatin1(name)).toLocal8Bit());
}

QString Sandbox::makeDir(const QString& relative) const {
    const QString full = path(relative);
    fs::makePath(full);
    return full;
}

QString Sandbox::writeFile(const QString& relative, const QByteArray& contents) const {
    const QString full = path(relative);
    fs::makePath(fs::parentPath(full));
    // Through the byte-exact path encoding: names may be invalid UTF-8.
    QFile file;
    const int fd =
        ::open(fs::encodePath(full).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd >= 0 && file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle))
        file.write(contents);
    else if (fd >= 0)
        ::close(fd);
    return full;
}

QString Sandbox::writePlist(const QString& relative, const QVariantMap& dict,
                            plist::Format format) const {
    return writeFile(relative, plist::dataFromDictionary(dict, format));
}

QString Sandbox::symlink(const QString& target, const QString& relativeLink) const {
    const QString full = path(relativeLink);
    fs::makePath(fs::parentPath(full));
    [[maybe_unused]] const int rc =
        ::symlink(fs::encodePath(target).constData(), fs::encodePath(full).constData());
    return full;
}

QString Sandbox::writeExecutable(const QString& relative, const QByteArray& contents) const {
    const QString full = writeFile(relative, contents);
    ::chmod(fs::encodePath(full).constData(), 0755);
    return full;
}

QString Sandbox::makeFifo(const QString& relative) const {
    const QString full = path(relative);
    fs::makePath(fs::parentPath(full));
    ::mkfifo(fs::encodePath(full).constData(), 0644);
    return full;
}

QString Sandbox::makeBundle(const QString& relative, const QVariantMap& info,
                            plist::Format format) const {
    const QString full = makeDir(relative);
    if (!info.isEmpty())
        writePlist(relative + QStringLiteral("/Contents/Info.plist"), info, format);
    return full;
}

LinuxRoots Sandbox::linuxRoots() const {
    LinuxRoots roots;
    roots.home = home();
    roots.configHome = path(QStringLiteral("home/.config"));
    roots.dataHome = path(QStringLiteral("home/.local/share"));
    roots.stateHome = path(QStringLiteral("home/.local/state"));
    roots.cacheHome = path(QStringLiteral("home/.cache"));
    roots.dataDirs = {path(QStringLiteral("usr/local/share")), path(QStringLiteral("usr/share"))};
    roots.executablePath = {path(QStringLiteral("bin"))};
    roots.dpkgDatabase = path(QStringLiteral("dpkg"));
    roots.flatpakSystem = path(QStringLiteral("flatpak"));
    roots.snapDesktop = path(QStringLiteral("snapd/desktop"));
    roots.snapMounts = path(QStringLiteral("snap"));
    return roots;
}

QVariantMap info(const QString& identifier, const QString& name) {
    QVariantMap dict{{QStringLiteral("CFBundleIdentifier"), identifier}};
    if (!name.isEmpty())
        dict.insert(QStringLiteral("CFBundleName"), name);
    return dict;
}

} // namespace moss::test
