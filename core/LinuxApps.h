#pragma once

// Linux applications as records: the desktop entries a user can launch
// (installed by Debian packages, Flatpak, Snap or by hand) and the AppImages
// in the usual folders, each an AppBundle of kind application whose source
// says where it came from.
//
// The record of a desktop entry:
// - url: the entry's path (symbolic links such as Flatpak's exports kept);
// - bundleIdentifier: the desktop-file ID without ".desktop" when it has at
//   least two non-empty dot-separated parts (org.gnome.Calculator); a
//   one-word ID (firefox) is a name instead;
// - nestedIdentifiers: its other identities that are identifiers: the
//   Flatpak ID (X-Flatpak), the Snap instance (X-SnapInstanceName) and the
//   window class (StartupWMClass);
// - names: Name, a one-word ID, the file name of the program Exec runs (not
//   of a launcher such as env, sh or flatpak), the Snap's name, a one-word
//   window class;
// - displayName: Name in Russian, else Name, else the ID;
// - version: the Debian package's, the Flatpak's latest AppStream release,
//   the Snap's; absent for entries installed by hand;
// - source, package and icon: see AppBundle.
// An AppImage is never run or unpacked: its name and version come from its
// file name (Foo-1.2-x86_64.AppImage: Foo, 1.2).

#include "AppBundle.h"
#include "Catalog.h"
#include "LinuxLocations.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

namespace moss::LinuxApps {

// Every application the user can launch, sorted by display name: desktop
// entries of Type=Application in the application folders (sub-folders give
// IDs such as kde-foo.desktop), except those with NoDisplay=true or
// Hidden=true and those whose TryExec program is missing; an ID that an
// entry earlier in the folder order has taken counts once, even when that
// entry is hidden. Then the executable AppImages (not links) directly in the
// AppImage folders.
QList<AppBundle> catalogue(const LinuxRoots& roots);
// Every application installed, as the leftover search's competitors: the
// catalogue with the entries it does not show for lack of room (NoDisplay)
// or of their program (TryExec) too, since their files are theirs all the
// same. Hidden=true still means deleted.
QList<AppBundle> installed(const LinuxRoots& roots);

// The catalogue in sections by source, in the order Flatpak, Snap, AppImage,
// Debian packages, the user's own entries, other entries; empty sections
// left out.
QList<CatalogSection> sections(const LinuxRoots& roots);
// The same sections of a catalogue already read.
QList<CatalogSection> sections(const QList<AppBundle>& catalogue);
QString sectionTitle(AppSource source);

// The application at path: a desktop entry of Type=Application (hidden or
// not) or an AppImage; nullopt for anything else. An entry in one of the
// application folders keeps its path; one elsewhere (a link on the desktop)
// is read where its links lead.
std::optional<AppBundle> load(const QString& path, const LinuxRoots& roots);
// The same without asking dpkg which package installed the entry: a system
// entry stays one.
std::optional<AppBundle> loadWithoutPackage(const QString& path, const LinuxRoots& roots);

// "kde/foo.desktop" below an application folder is "kde-foo.desktop".
QString desktopFileId(const QString& relativePath);
// At least two non-empty parts separated by dots, and no blank or slash.
bool isIdentifier(const QString& text);
// The Flatpak ID in a Flatpak's package, app/ID/ARCH/BRANCH or app/ID;
// empty when the package does not have that shape (no empty, "." or ".."
// part).
QString flatpakId(const QString& package);
// A Snap's instance name: NAME, or NAME_KEY for a parallel installation, in
// lower-case letters, digits and dashes, at most 64 characters.
bool isSnapInstanceName(const QString& name);
// A regular file that starts as an AppImage: ELF with "AI" and 1 or 2 at
// offset 8.
bool isAppImage(const QString& path);
// The name and version in an AppImage's file name.
std::pair<QString, std::optional<QString>> appImageName(const QString& fileName);
// The program a command line runs, looking through wrappers that run another
// program (env, nice, firejail...) with their options and assignments;
// nullopt when it runs an interpreter or a launcher of other applications
// (sh, python3, flatpak, xdg-open...) whose name says nothing about the
// application.
std::optional<QString> launchedProgram(const QStringList& arguments);

// The file of the program the application runs, symbolic links resolved: an
// AppImage itself; for a desktop entry, the program its Exec starts
// (launchedProgram), looked up in roots.executablePath as a launch would.
// Empty when the entry starts a launcher, when the program is missing or not
// executable, and when it leads to a launcher (a /snap/bin command is snap).
QString programFile(const AppBundle& app, const LinuxRoots& roots);

// What an autostart entry, user unit or manifest must name to belong to the
// application: its identifiers, the program its entry runs and its TryExec,
// or the AppImage itself.
LinuxLocations::MentionKeys mentionKeys(const AppBundle& app);

// The Snap instance names that the application's folder in ~/snap may bear:
// its package's, its entry's X-SnapInstanceName, and the Snap of a program
// in /snap/bin (SNAP or SNAP.APP).
QStringList snapNames(const AppBundle& app);

// The image file of a desktop entry's Icon: an absolute path as it is; a
// theme name in the hicolor theme of the data folders and of Flatpak's
// exports (scalable first, then the largest size), then in the data
// folders' pixmaps. Empty when there is none. Themes other than hicolor are
// the window's business (QIcon::fromTheme).
QString iconFile(const QString& icon, const LinuxRoots& roots);

} // namespace moss::LinuxApps
