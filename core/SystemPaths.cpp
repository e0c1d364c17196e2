#include "SystemPaths.h"

#include "platform/FileSystem.h"

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

bool isProtectedLeftover(const QString& path, bool vendorOwned) {
    static const QStringList folders = {
        systemVolume(), u"/usr/"_s, u"/bin/"_s, u"/sbin/"_s, u"/Library/Apple/"_s,
    };
    if (startsWithAny(path, folders))
        return true;
    return !vendorOwned && isVendorIdentifier(fs::lastComponent(path));
}

} // namespace moss::SystemPaths
