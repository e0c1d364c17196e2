#pragma once

// Where Linux applications and what they leave behind are: the folders of a
// user's session (XDG base folders, $PATH, the package systems' own folders),
// the table of folders the leftover search lists for a Linux application,
// the paths it never offers, and the tests that tell whether an autostart
// entry, a user service or a browser's native-messaging manifest belongs to
// an application.

#include "FoundFile.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

namespace moss {

struct LinuxRoots {
    QString home;
    QString configHome; // $XDG_CONFIG_HOME, else ~/.config
    QString dataHome;   // $XDG_DATA_HOME, else ~/.local/share
    QString stateHome;  // $XDG_STATE_HOME, else ~/.local/state
    QString cacheHome;  // $XDG_CACHE_HOME, else ~/.cache
    // $XDG_DATA_DIRS in order, else /usr/local/share and /usr/share.
    QStringList dataDirs;
    // $PATH in order, else /usr/local/bin, /usr/bin and /bin.
    QStringList executablePath;
    QString dpkgDatabase = QStringLiteral("/var/lib/dpkg");     // $DPKG_ADMINDIR
    QString flatpakSystem = QStringLiteral("/var/lib/flatpak"); // $FLATPAK_SYSTEM_DIR
    QString snapDesktop = QStringLiteral("/var/lib/snapd/desktop");
    QString snapMounts = QStringLiteral("/snap"); // where each Snap is mounted

    // The running user's, from the environment, built anew on every call.
    // Relative and empty values are ignored, as the base folders require.
    static LinuxRoots live();

    // The user's Flatpak installation: dataHome/flatpak.
    QString flatpakUser() const;
    // Where desktop entries are looked for, in order of precedence:
    // dataHome/applications, then dataDirs/applications, then the folders
    // Flatpak and Snap export entries to when the data folders lack them.
    QStringList applicationFolders() const;
    // Where AppImages are looked for: ~/Applications, ~/.local/bin, ~/AppImages.
    QStringList appImageFolders() const;
};

struct LinuxLocation {
    enum class Base { home, configHome, dataHome, stateHome, cacheHome };
    enum class Rule {
        idOrName,        // by identifiers, failing that by names
        idOnly,          // by identifiers only
        snapName,        // exactly the Snap's instance name
        dotEntry,        // hidden entries only, by identifier or name without the dot
        autostart,       // by identifier, else the entry must run the application
        userUnit,        // by identifier, else the unit must run the application
        nativeMessaging, // by identifier, else the manifest's "path" is the application's
        installers,      // installer files by name, never ticked
    };

    Base base;
    QString path; // below the base; a "*" component stands for each sub-folder
    FileCategory category;
    Rule rule;
    // Entries considered (lower case); empty: all. The extension is taken off
    // the name that is judged.
    QStringList extensions;
};

namespace LinuxLocations {

// The folders the leftover search lists for a Linux application, in order.
const QList<LinuxLocation>& table();

// The folders a row stands for: its base and path, each "*" replaced by the
// sub-folders found there (symbolic links not followed).
QStringList folders(const LinuxLocation& location, const LinuxRoots& roots);

// The name the matcher judges for an entry of a row's folder; nullopt when the
// row does not consider the entry (another extension, a visible entry of the
// home, a file that is no installer).
std::optional<QString> judgedName(const LinuxLocation& location, const QString& entryName);

// The stem of an installer file name (.deb, .rpm, .AppImage, .flatpakref,
// .snap, .zip, .tar.*), compared ignoring case; nullopt for other files.
std::optional<QString> installerStem(const QString& fileName);

// The user's standard folders (Desktop, Documents, Downloads...) from
// configHome/user-dirs.dirs; the usual English names below the home when the
// file is missing.
QStringList userDirectories(const LinuxRoots& roots);

// Paths never offered as leftovers, whatever matches them.
class NeverOffered {
public:
    explicit NeverOffered(const LinuxRoots& roots);
    bool contains(const QString& path) const;

private:
    QSet<QString> paths_; // these paths themselves
    QStringList sealed_;  // these and everything inside them
};

// What a file has to name to belong to an application.
struct MentionKeys {
    // Programs as desktop entries write them: file names ("foo") and
    // absolute paths ("/opt/foo/foo", an AppImage's path).
    QStringList programs;
    QStringList identifiers;
};

// Whether a program as a command line names it is one of the programs: the
// same path when both are absolute, else the same file name.
bool isProgramOf(const QString& program, const MentionKeys& keys);

// What in a file named the application: one of its programs or identifiers,
// as the file writes it.
struct Mention {
    enum class Kind { program, identifier };
    Kind kind = Kind::program;
    QString text;
    friend bool operator==(const Mention&, const Mention&) = default;
};

// An autostart entry runs the application: the program of its Exec or its
// TryExec is one of the programs, or an argument or its X-Flatpak key is one
// of the identifiers (ignoring case).
bool autostartMentions(const QByteArray& entry, const MentionKeys& keys);
// A systemd unit runs the application: the program of one of its Exec*=
// commands is one of the programs ("%h" standing for home), or an argument is
// one of the identifiers.
bool unitMentions(const QByteArray& unit, const MentionKeys& keys, const QString& home);
// The unit a .timer or .socket unit starts: its Unit= value, else the unit of
// the same name with ".service". nullopt for other units.
std::optional<QString> triggeredUnit(const QString& unitFileName, const QByteArray& unit);
// A native-messaging manifest names the application: its "path" is one of the
// programs, or has one of the identifiers as a folder name.
bool manifestMentions(const QByteArray& manifest, const MentionKeys& keys);

// Reads the file (at most 1 MiB, regular files only) and applies the rule's
// test; false for the rules that read nothing.
bool fileMentions(const QString& file, LinuxLocation::Rule rule, const MentionKeys& keys,
                  const LinuxRoots& roots);
// The same tests, saying what named the application.
std::optional<Mention> autostartMention(const QByteArray& entry, const MentionKeys& keys);
std::optional<Mention> unitMention(const QByteArray& unit, const MentionKeys& keys,
                                   const QString& home);
std::optional<Mention> manifestMention(const QByteArray& manifest, const MentionKeys& keys);
std::optional<Mention> fileMention(const QString& file, LinuxLocation::Rule rule,
                                   const MentionKeys& keys, const LinuxRoots& roots);

} // namespace LinuxLocations

} // namespace moss
