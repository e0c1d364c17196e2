#pragma once

// An inspected bundle: an application, a plug-in or a widget, with the
// identity the leftover search works from.

#include <QHashFunctions>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <array>
#include <optional>

namespace moss {

// Each enumeration that the window shows lives in a namespace of its own, so
// that its meta-object describes that enumeration alone: the window registers
// the namespace under the enumeration's name, and views write
// BundleKind.Application.
namespace BundleKinds {
Q_NAMESPACE
enum class BundleKind { Application, Plugin, Widget };
Q_ENUM_NS(BundleKind)
} // namespace BundleKinds
using BundleKinds::BundleKind;

// The kind as stored and compared: "application", "plugin", "widget".
QString rawValue(BundleKind kind);
std::optional<BundleKind> bundleKindFromRawValue(const QString& raw);
const std::array<BundleKind, 3>& allBundleKinds();

// Where an application comes from: a bundle folder, or one of the ways Linux
// installs applications (see LinuxApps).
enum class AppSource {
    bundle,        // a bundle folder
    debianPackage, // a desktop entry that a Debian package installed
    flatpakUser,   // a Flatpak of the user's own installation
    flatpakSystem, // a Flatpak of a system-wide installation
    snap,          // a Snap
    appImage,      // an AppImage file
    localEntry,    // a desktop entry in the user's own applications folder
    systemEntry,   // a desktop entry in a system folder that no package owns
};

struct AppBundle {
    // The bundle's location: an absolute path, standardised and with symbolic
    // links resolved. Never the path as the caller passed it.
    QString url;
    BundleKind kind = BundleKind::Plugin;
    std::optional<QString> bundleIdentifier;
    // Name keys for the matcher: no empty string, no two equal ignoring case;
    // the first is the most authoritative.
    QStringList names;
    QString displayName;
    std::optional<QString> version;
    std::optional<QString> teamIdentifier;
    // Identifiers of bundles and helper tools nested inside; sorted, unique.
    QStringList nestedIdentifiers;
    AppSource source = AppSource::bundle;
    // The package it belongs to, in its package system's terms: the Debian
    // package name, the Flatpak ref (app/ID/ARCH/BRANCH), the Snap instance
    // name. Empty for the other sources.
    QString package;
    // A desktop entry's Icon: an icon theme name or an absolute path. Empty
    // for bundles and AppImages.
    QString icon;

    const QString& id() const { return url; }

    // The own identifier first, then the nested ones, de-duplicated ignoring
    // case (the first spelling is kept).
    QStringList allIdentifiers() const;

    friend bool operator==(const AppBundle&, const AppBundle&) = default;

    // Path extensions (lower case) that the catalogue treats as plug-ins or
    // widgets when it walks the plug-in folders.
    static const QStringList& pluginExtensions();
    // Folders below Contents searched for nested bundles, in search order.
    static const QStringList& nestedFolders();
    // Path extensions (lower case) of entries opened as nested bundles.
    static const QStringList& nestedBundleExtensions();
    // Identifier prefixes (lower case) whose nested bundles are ignored.
    static const QStringList& ignoredNestedPrefixes();

    // Where the bundle's Info property list is: the first of
    // Contents/Info.plist, Resources/Info.plist and Info.plist below
    // bundlePath that exists (a symbolic link counts). Empty when none does.
    static QString infoPlistPath(const QString& bundlePath);
    // The dictionary of that property list. Empty when there is none or it
    // cannot be read.
    static QVariantMap infoDictionary(const QString& bundlePath);

    // Reads the bundle at path; nullopt when the path is not a bundle: not a
    // folder, an application without an Info property list, or a folder
    // that is never a bundle (SystemPaths::isNeverABundle: the home, a
    // searched Library folder, the Trash, a standard folder).
    static std::optional<AppBundle> load(const QString& path, bool readSignature = true);

    // Team identifier of the code signature of the bundle at path.
    static std::optional<QString> teamIdentifierOf(const QString& path);
};

// Identifiers of the bundles nested in the bundle at bundlePath, leaving out
// `excluding` (the host's own identifier).
QStringList nestedIdentifiers(const QString& bundlePath, const std::optional<QString>& excluding);

size_t qHash(const AppBundle& bundle, size_t seed = 0);

} // namespace moss
