#include "SystemPaths.h"

#include "LibraryLocations.h"
#include "LinuxLocations.h"
#include "platform/FileSystem.h"
#include "platform/Trash.h"

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
// Library ("Audio", "Audio/Plug-Ins", "Audio/Plug-Ins/HAL"), relative to it;
// those searched in the user's Library only are marked.
struct LibraryFolder {
    QString path;
    bool userOnly;
};

const QList<LibraryFolder>& libraryFolders() {
    static const QList<LibraryFolder> folders = [] {
        QList<LibraryFolder> list;
        for (const Location& location : libraryLocations()) {
            for (qsizetype slash = location.path.indexOf(u'/'); slash >= 0;
                 slash = location.path.indexOf(u'/', slash + 1))
                list.append({location.path.left(slash), location.userOnly});
            list.append({location.path, location.userOnly});
        }
        return list;
    }();
    return folders;
}

// ".Trash", ".Trash/UID", ".Trash-UID", and the "files" folder of the last
// two: the Trash folders at the top of a file system.
bool isTopTrashFolder(const QString& path) {
    static const QRegularExpression trash(uR"((^|/)(\.Trash(/\d+)?|\.Trash-\d+)(/files)?$)"_s);
    return trash.match(path).hasMatch();
}

bool isSameObject(const std::optional<fs::EntryStatus>& folder, const fs::EntryStatus& target) {
    return folder && folder->isSameObject(target);
}

bool isSearchedLibraryFolder(const QString& path, const fs::EntryStatus& target,
                             const QString& library, bool isSystem) {
    const QString resolved = fs::resolvingSymlinks(library);
    if (path == resolved)
        return true;
    const QString name = fs::lastComponent(path);
    const QString relative =
        path.startsWith(resolved + u'/') ? path.mid(resolved.size() + 1) : QString();
    for (const LibraryFolder& folder : libraryFolders()) {
        if (isSystem && folder.userOnly)
            continue;
        if (folder.path == relative)
            return true;
        // A location folder that is a link elsewhere: compared as objects,
        // and only when the names agree, so that a load costs no calls here.
        if (fs::lastComponent(folder.path) == name &&
            isSameObject(fs::entryStatus(fs::appending(library, folder.path), true), target))
            return true;
    }
    return false;
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

    const SearchRoots roots = SearchRoots::live();
    if (isSearchedLibraryFolder(path, *target, fs::appending(roots.home, u"Library"_s), false) ||
        isTarget(fs::appending(roots.home, u"Downloads"_s)))
        return true;
    for (const QString& root : roots.system) {
        if (isSearchedLibraryFolder(path, *target, fs::appending(root, u"Library"_s), true))
            return true;
    }

    const QStringList standard = LinuxLocations::userDirectories(LinuxRoots::live());
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
