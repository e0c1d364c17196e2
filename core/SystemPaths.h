#pragma once

// Which paths and names belong to the operating system or its vendor: the
// one place that says what Mossbin never removes on its own authority.
//
// Protected:
// - "/System/": the sealed system volume. A bundle there is a system
//   component (Protection::status); nothing there is ever a leftover.
// - "/Library/Apple/": the vendor's components installed outside the sealed
//   volume. Treated like "/System/" in both places.
// - "/usr/", "/bin/", "/sbin/": the Unix layer. Never a leftover. The search
//   lists no folder there from its usual roots; this keeps them out whatever
//   roots or temporary folders a search is given.
// - File names beginning with "com.apple." (any letter case): the vendor's
//   own preferences, caches and launch jobs, which name the vendor's
//   identifiers rather than the bundle's. Hidden from every search, except
//   for a bundle that is itself the vendor's (vendorOwned), whose leftovers
//   carry that prefix.
//
// Deliberately not protected:
// - "/Library/" outside "/Library/Apple/", and the user's own Library:
//   installers of other makers write Application Support, LaunchDaemons and
//   Preferences there, and finding what they left is the point of the search.
//   An item whose folder the user cannot write is marked as needing an
//   administrator instead.
// - "/usr/local/" for bundles: an application installed there is the user's
//   (for leftovers it falls under "/usr/" above, where the search never looks).
// - A bundle of the vendor in "/Applications" (an identifier beginning with
//   "com.apple.") that the user can delete on a writable volume: the vendor
//   ships it but the user may remove it. The default protected list guards
//   the common ones with a question instead (Protection::defaultProtected).
// - Paths that merely begin with the same letters, "/System" itself or
//   "/SystemTools/x.app": every prefix ends with "/".
//
// Paths are compared as they are given (standardised; symbolic links
// resolved only where a function says so), with case-sensitive prefixes.
//
// Folders that are never a bundle (isNeverABundle), whatever they hold: a
// bundle is moved to the Trash whole, so taking one of these for a bundle
// would throw away the user's files or the places the search relies on.
// - The home folder and every folder that contains it ("/", "/home").
// - The searched Library folders: the home's and each system root's
//   "Library", every folder of the location table inside them and the
//   folders between ("Audio", "Audio/Plug-Ins"), and the home's "Downloads".
// - The Trash: the home Trash and its "files" folder, and the Trash at the
//   top of another file system (".Trash", ".Trash/UID", ".Trash-UID" and
//   their "files" folders, told by name).
// - The user's standard folders (Desktop, Documents, Downloads, Music,
//   Pictures, Public, Templates, Videos, wherever user-dirs.dirs puts them).
// They are compared as file-system objects, so a link to one of them, or one
// of them being a link, makes no difference. What lies inside them (an
// application in Downloads, a preference pane in the Library) is not refused.

#include <QString>

namespace moss::SystemPaths {

// Whether the identifier (or file name) is the vendor's: it begins with
// "com.apple.", ignoring letter case.
bool isVendorIdentifier(const QString& identifier);

// Whether a bundle at the path is part of the operating system by its
// location alone: below "/System/" or "/Library/Apple/".
bool isSystemBundlePath(const QString& path);

// Whether the path, once its symbolic links are resolved, lies on the sealed
// system volume: below "/System/".
bool isOnSystemVolume(const QString& path);

// Whether a found item must never be reported as a leftover: below one of
// the system folders, or named as the vendor's when the bundle being removed
// is not itself the vendor's.
bool isProtectedLeftover(const QString& path, bool vendorOwned);

// Whether the folder at the path (standardised, links resolved) must never be
// taken for a bundle; see above.
bool isNeverABundle(const QString& path);

} // namespace moss::SystemPaths
