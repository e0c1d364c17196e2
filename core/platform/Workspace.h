#pragma once

// Desktop services that removal and protection rely on: recycling items into
// the home Trash, stopping launch agents, the file manager's delete script, the
// Trash sound, and the current user's running processes.
// Child processes always get argument vectors; no shell is involved.

#include "platform/FileSystem.h"
#include "platform/Trash.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>
#include <system_error>

namespace moss::workspace {

struct RecycleResult {
    // Handed-in path -> its new location, for every item that was recycled.
    QMap<QString, QString> newLocations;
    // Set when the home Trash cannot be used at all; nothing was recycled.
    std::optional<QString> error;
    // Handed-in path -> why it was not recycled, for the items that were not.
    QMap<QString, std::error_code> reasons{};
    // Handed-in path -> the location of its whole copy in the Trash, for the
    // items of which part stayed in place (each is also in `reasons`).
    QMap<QString, QString> halfMoved{};
};

// Copies each item into the home Trash (with its description) and then removes
// the original (trash::copyToHomeTrash); an item that cannot be copied and
// removed completely gets no entry in newLocations. Slow: call it off the main
// thread. `beforeRemoval` is handed to every copy.
RecycleResult recycle(const QStringList& paths, const trash::BeforeRemoval& beforeRemoval = {});

inline const QString kLaunchctl = QStringLiteral("/bin/launchctl");
inline const QString kOsascript = QStringLiteral("/usr/bin/osascript");

// Runs `launchctl bootout gui/UID plistPath` and waits for it to exit. Does
// nothing when the program is missing; its failures and status are ignored.
void bootoutLaunchAgent(const QString& plistPath, const QString& launchctl = kLaunchctl);

// Runs `systemctl --user disable --now unit` with the first of the given
// programs that exists, and waits for it to exit. Does nothing when none
// exists; its failures and status are ignored.
void stopUserUnit(const QString& unit,
                  const QStringList& systemctl = {QStringLiteral("/usr/bin/systemctl"),
                                                  QStringLiteral("/bin/systemctl")});

// Runs `osascript -e script` and waits. True when the script ran without an
// error; false when the program is missing, fails to start or reports one.
bool runFinderScript(const QString& script, const QString& osascript = kOsascript);

// Plays the desktop's "trash-empty" sound when a player is installed; never
// waits and never fails.
void playTrashSound();

// One of the current user's processes.
struct UserProcess {
    qint64 pid = 0;
    // The target of its exe link without the " (deleted)" the kernel adds
    // when the file is gone; empty when the link cannot be read.
    QString executable;
};

// The processes of this machine (read from `procRoot`) whose entry there
// belongs to the current user, by ascending process id. Processes of other
// users are left out even where they could be read, and so is this process.
QList<UserProcess> userProcesses(const QString& procRoot = QStringLiteral("/proc"));

// A running process whose executable lies inside an application bundle.
struct BundleProcess {
    qint64 pid = 0;
    QString executable; // the executable's path
    QString bundlePath; // the X.app that holds it in X.app/Contents/MacOS/
};

// The application bundle of an executable at …/X.app/Contents/MacOS/…, the
// innermost one when bundles are nested; nullopt for any other path.
std::optional<QString> bundleOfExecutable(const QString& executable);

// The current user's processes whose executable lies in an application
// bundle, by ascending process id.
QList<BundleProcess> bundleProcesses(const QString& procRoot = QStringLiteral("/proc"));

// The device and inode of the process's executable, the file itself even when
// the process sees it at another path (its own mount namespace) or it was
// deleted; nullopt when it cannot be read.
std::optional<fs::EntryStatus> executableStatus(const QString& procRoot, qint64 pid);

// A variable of the environment the process was started with; nullopt when it
// is not set or the environment cannot be read. Only its first
// maxEnvironmentBytes are read: a variable beyond them is not found.
inline constexpr qint64 maxEnvironmentBytes = 1024 * 1024;
std::optional<QString> environmentVariable(const QString& procRoot, qint64 pid,
                                           QByteArrayView name);

// What Flatpak writes at the root of a sandbox: ROOT/.flatpak-info, ROOT the
// root of the process's file system as the process sees it. nullopt when it is
// missing, cannot be read (another user's process), is not a regular file or
// is larger than maxSandboxInfoBytes.
inline constexpr qint64 maxSandboxInfoBytes = 64 * 1024;
std::optional<QByteArray> sandboxInfo(const QString& procRoot, qint64 pid);

// When the process started, in clock ticks after boot (field 22 of
// procRoot/PID/stat); with the id it tells this process from a later one that
// reuses the id. nullopt when it cannot be read.
std::optional<quint64> startTime(qint64 pid, const QString& procRoot = QStringLiteral("/proc"));

// Sends SIGTERM, a request the process may ignore, to the process `pid` only
// while it is still the one that started at `started` and belongs to the
// current user; true when the signal was delivered. Ids below 1 (a process
// group) are refused.
bool terminate(qint64 pid, quint64 started);
// Sends SIGKILL, which the process cannot ignore; the same refusals.
bool kill(qint64 pid, quint64 started);

} // namespace moss::workspace
