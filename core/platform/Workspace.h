#pragma once

// Desktop services that removal and protection rely on: recycling items into
// the home Trash, stopping launch agents, the file manager's delete script, the
// Trash sound, and the running processes that come from application bundles.
// Child processes always get argument vectors; no shell is involved.

#include "platform/Trash.h"

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

// A running process whose executable lies inside an application bundle.
struct BundleProcess {
    qint64 pid = 0;
    QString executable; // the executable's path
    QString bundlePath; // the X.app that holds it in X.app/Contents/MacOS/
};

// The application bundle of an executable at …/X.app/Contents/MacOS/…, the
// innermost one when bundles are nested; nullopt for any other path.
std::optional<QString> bundleOfExecutable(const QString& executable);

// Processes of this machine (read from `procRoot`) whose executable lies in an
// application bundle, by ascending process id.
QList<BundleProcess> bundleProcesses(const QString& procRoot = QStringLiteral("/proc"));

// Sends SIGTERM, a request the process may ignore; true when the signal was
// delivered. Never signals a process group (ids below 1 are refused).
bool terminate(qint64 pid);
// Sends SIGKILL, which the process cannot ignore; the same refusals.
bool kill(qint64 pid);

} // namespace moss::workspace
