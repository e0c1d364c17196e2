#pragma once

// Moves chosen items to the Trash, and puts them back.

#include "FoundFile.h"
#include "PackageRemoval.h"
#include "platform/ToolRun.h"
#include "platform/Workspace.h"

#include <QFuture>
#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <system_error>

namespace moss {

struct RemovalResult {
    QMap<QString, QString> trashed; // former location -> location in the Trash
    QMap<QString, QString> failed;  // former location -> message
    qint64 freedBytes = 0;
    // Items of which part stayed in place while a whole copy is in the Trash:
    // former location -> location of that copy. Each is also in `failed` and
    // adds nothing to freedBytes; restore() puts it back together.
    QMap<QString, QString> halfMoved;
    // Former location -> why it was not removed, for every item in `failed`
    // (trash::reasonText gives the phrase to show).
    QMap<QString, std::error_code> reasons;
    // Applications that their package tool removed: their row's location ->
    // the command that installs them again. Nothing of them is in the Trash.
    QMap<QString, QString> uninstalled{};

    friend bool operator==(const RemovalResult&, const RemovalResult&) = default;
};

// The platform services that removal goes through. live() is the real
// desktop; tests replace single services.
struct RemovalServices {
    // Stage 1: the item's location in the Trash, or nullopt when not moved.
    std::function<std::optional<QString>(const QString& url)> trashItem;
    // Stage 2, called on a worker thread.
    std::function<workspace::RecycleResult(const QStringList& urls)> recycle;
    // Stage 3: true when the script ran without an error.
    std::function<bool(const QString& script)> runFinderScript;
    std::function<void(const QString& plist)> bootoutLaunchAgent;
    // Stops and disables one of the user's systemd units, named by its file
    // name (foo.service).
    std::function<void(const QString& unit)> stopUserUnit;
    std::function<void()> playTrashSound;
    // Runs a package tool and waits for it (at most PackageRemoval::toolLimit);
    // called on a worker thread.
    std::function<tools::ToolRun(const QString& program, const QStringList& arguments)> runTool;

    static RemovalServices live();
};

namespace Remover {

// Stops the user's launch agents among the files, then moves the files to the
// Trash in up to three stages. Must be called on a thread with an event loop
// (the main thread); the slow copy of stage 2 runs on a worker thread and the
// future finishes on the calling thread's event loop (at once when stage 1
// moved everything). Never fails as a whole.
QFuture<RemovalResult> moveToTrash(const QList<FoundFile>& files,
                                   const RemovalServices& services = RemovalServices::live());

// The same, and the application itself as `application` says: its row goes
// to the Trash with the rest, or, when its package tool removes it, the tool
// runs once every other chosen item is in the Trash (on a worker thread).
// When some item could not be moved, the tool does not run and the
// application stays installed; when the tool is missing, refuses, fails or
// is stopped at its time limit, the row fails with what it printed. A row
// that its package system removes is never touched and fails.
QFuture<RemovalResult> remove(const QList<FoundFile>& files, const ApplicationRemoval& application,
                              const RemovalServices& services = RemovalServices::live());

// Puts trashed items back; returns the former locations that were restored.
QStringList restore(const QMap<QString, QString>& trashed);
// The same, and puts each half-moved item back together: the entries of its
// copy that are missing at the former location go back into what remained
// there, without replacing anything. A half-moved item counts as restored
// when nothing of its copy is missing there any more.
QStringList restore(const QMap<QString, QString>& trashed, const QMap<QString, QString>& halfMoved);

// Stops the user's launch agents and the user's systemd units (services,
// timers, sockets of $XDG_CONFIG_HOME/systemd/user) among the files.
void unloadLaunchJobs(const QList<FoundFile>& files,
                      const RemovalServices& services = RemovalServices::live());

// Asks the Finder to delete the item; true when it is gone.
bool finderDelete(const QString& url, const RemovalServices& services = RemovalServices::live());
// The Finder script that finderDelete runs for a path.
QString finderDeleteScript(const QString& path);

} // namespace Remover

} // namespace moss
