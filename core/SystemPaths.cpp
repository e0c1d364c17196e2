#include "SystemPaths.h"

#include "LibraryLocations.h"
#include "LinuxLocations.h"
#include "platform/FileSystem.h"
#include "platform/Trash.h"

#include <QHash>
#include <QMultiHash>
#include <QMutex>
#include <QRegularExpression>
#include <QStringList>
#include <algorithm>

namespace moss::SystemPaths {

namespace {

using namespace Qt::StringLiterals;

bool startsWithAny(const QString& path, const QStringList& prefixes) {
    return std::any_of(prefixes.cbegin(), prefixes.cend(),
                       [&path](const QString& prefix) { return path.startsWith(prefix); });
}

const QString& systemVolume() {
    static const QString folder = u"/System/"_s;
    return folder;
}

// The location folders of a Library and the folders between them and the
// Library ("Audio", "Audio/Plug-Ins", "Audio/Plug-Ins/HAL"), relative to it.
struct LibraryFolders {
    // Relative path -> searched in the user's Library only.
    QHash<QString, bool> userOnly;
    // Last component -> relative paths.
    QMultiHash<QString, QString> byName;
};

const LibraryFolders& libraryFolders() {
    static const LibraryFolders folders = [] {
        LibraryFolders table;
        const auto add = [&table](const QString& relative, bool userOnly) {
            const auto known = table.userOnly.find(relative);
            if (known != table.userOnly.end()) {
                *known = *known && userOnly;
                return;
            }
            table.userOnly.insert(relative, userOnly);
            table.byName.insert(fs::lastComponent(relative), relative);
        };
        for (const Location& location : libraryLocations()) {
            for (qsizetype slash = location.path.indexOf(u'/'); slash >= 0;
                 slash = location.path.indexOf(u'/', slash + 1))
                add(location.path.left(slash), location.userOnly);
            add(location.path, location.userOnly);
        }
        return table;
    }();
    return folders;
}

// ".Trash", ".Trash/UID", ".Trash-UID", and the "files" folder of the last
// two: the Trash folders at the top of a file system.
bool isTopTrashFolder(const QString& path) {
    static const QRegularExpression trash(uR"((^|/)(\.Trash(/\d+)?|\.Trash-\d+)(/files)?$)"_s);
    return path.contains(u"/.Trash"_s) && trash.match(path).hasMatch();
}

bool isSameObject(const std::optional<fs::EntryStatus>& folder, const fs::EntryStatus& target) {
    return folder && folder->isSameObject(target);
}

// Whether the path is the Library folder inside `parent` (a folder whose
// links are resolved) or one of the location folders searched there.
bool isSearchedLibraryFolder(const QString& path, const fs::EntryStatus& target,
                             const QString& parent, bool isSystem) {
    const QString library = fs::appending(parent, u"Library"_s);
    const QString resolved =
        fs::entryType(library) == fs::EntryType::symlink ? fs::resolvingSymlinks(library) : library;
    if (path == resolved)
        return true;
    const LibraryFolders& folders = libraryFolders();
    const auto isSearched = [&](const QString& relative) {
        const auto userOnly = folders.userOnly.constFind(relative);
        return userOnly != folders.userOnly.cend() && !(isSystem && *userOnly);
    };
    if (path.startsWith(resolved + u'/') && isSearched(path.mid(resolved.size() + 1)))
        return true;
    // A location folder that is a link elsewhere: compared as objects, and
    // only when the names agree, so that most loads make no call here.
    const QStringList named = folders.byName.values(fs::lastComponent(path));
    return std::any_of(named.cbegin(), named.cend(), [&](const QString& relative) {
        return isSearched(relative) &&
               isSameObject(fs::entryStatus(fs::appending(library, relative), true), target);
    });
}

// The running user's Linux roots. They depend on the environment alone, and
// building them anew (the data folders, $PATH) would cost more than the rest
// of a bundle's refusal check: they are kept for the environment they were
// built from (standard folders are read anew each time).
LinuxRoots userRoots() {
    static QMutex mutex;
    static QByteArray builtFor;
    static LinuxRoots roots;
    const QByteArray environment = qgetenv("HOME") + '\0' + qgetenv("XDG_CONFIG_HOME");
    const QMutexLocker lock(&mutex);
    if (roots.home.isEmpty() || environment != builtFor) {
        roots = LinuxRoots::live();
        builtFor = environment;
    }
    return roots;
}

} // namespace

bool isVendorIdentifier(const QString& identifier) {
    return identifier.toLower().startsWith(u"com.apple."_s);
}

bool isSystemBundlePath(const QString& path) {
    static const QStringList folders = {systemVolume(), u"/Library/Apple/"_s};
    return startsWithAny(path, folders);
}

bool isOnSystemVolume(const QString& path) {
    return fs::resolvingSymlinks(path).startsWith(systemVolume());
}

bool isNeverABundle(const QString& path) {
    const QString home = fs::resolvingSymlinks(fs::homePath());
    if (path == home || home.startsWith(path.endsWith(u'/') ? path : path + u'/'))
        return true;
    if (isTopTrashFolder(path))
        return true;
    const std::optional<fs::EntryStatus> target = fs::entryStatus(path, true);
    if (!target)
        return false;
    const auto isTarget = [&target](const QString& folder) {
        return isSameObject(fs::entryStatus(folder, true), *target);
    };

    const QString trash = trash::homeTrashPath();
    if (!trash.isEmpty() && (isTarget(trash) || isTarget(fs::appending(trash, u"files"_s))))
        return true;

    if (isSearchedLibraryFolder(path, *target, home, false) ||
        isTarget(fs::appending(home, u"Downloads"_s)))
        return true;
    // The system roots are fixed ("/"); resolved once.
    static const QStringList systemRoots = [] {
        QStringList roots;
        for (const QString& root : SearchRoots::live().system)
            roots.append(fs::resolvingSymlinks(root));
        return roots;
    }();
    for (const QString& root : systemRoots) {
        if (isSearchedLibraryFolder(path, *target, root, true))
            return true;
    }

    const QStringList standard = LinuxLocations::userDirectories(userRoots());
    return std::any_of(standard.cbegin(), standard.cend(), isTarget);
}

bool isProtectedLeftover(const QString& path, bool vendorOwned) {
    static const QStringList folders = {
        systemVolume(), u"/usr/"_s, u"/bin/"_s, u"/sbin/"_s, u"/Library/Apple/"_s,
    };
    if (startsWithAny(path, folders))
        return true;
    return !vendorOwned && isVendorIdentifier(fs::lastComponent(path));
}

} // namespace moss::SystemPaths
