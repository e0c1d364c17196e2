#include "platform/Workspace.h"

#include "platform/FileSystem.h"
#include "platform/Trash.h"

#include <QProcess>
#include <QStandardPaths>
#include <algorithm>
#include <csignal>
#include <unistd.h>

namespace moss::workspace {

namespace {

using namespace Qt::StringLiterals;

// Runs a program to its end with its output discarded. False when it could
// not be started or did not exit normally with status 0.
bool runQuietly(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start();
    if (!process.waitForStarted(-1))
        return false;
    process.waitForFinished(-1);
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// Ids below 1 would signal a process group, or every process we may signal.
bool sendSignal(qint64 pid, int signal) {
    return pid > 0 && ::kill(pid_t(pid), signal) == 0;
}

} // namespace

RecycleResult recycle(const QStringList& paths, const trash::BeforeRemoval& beforeRemoval) {
    RecycleResult result;
    if (!trash::prepareHomeTrash()) {
        const QString where = trash::homeTrashPath();
        result.error = where.isEmpty()
                           ? u"Корзина недоступна: не задана домашняя папка."_s
                           : u"Корзина недоступна: не удалось открыть папку «%1»."_s.arg(where);
        return result;
    }
    for (const QString& path : paths) {
        const trash::TrashMove moved = trash::copyToHomeTrash(path, beforeRemoval);
        if (moved) {
            result.newLocations.insert(path, moved.location);
            continue;
        }
        result.reasons.insert(path, moved.error);
        if (moved.isHalfMoved())
            result.halfMoved.insert(path, moved.location);
    }
    return result;
}

void bootoutLaunchAgent(const QString& plistPath, const QString& launchctl) {
    if (!fs::exists(launchctl))
        return;
    runQuietly(launchctl, {u"bootout"_s, u"gui/"_s + QString::number(::getuid()), plistPath});
}

void stopUserUnit(const QString& unit, const QStringList& systemctl) {
    const auto program = std::find_if(systemctl.cbegin(), systemctl.cend(),
                                      [](const QString& path) { return fs::exists(path); });
    if (program != systemctl.cend())
        runQuietly(*program, {u"--user"_s, u"disable"_s, u"--now"_s, u"--"_s, unit});
}

bool runFinderScript(const QString& script, const QString& osascript) {
    return fs::exists(osascript) && runQuietly(osascript, {u"-e"_s, script});
}

void playTrashSound() {
    const QString player = QStandardPaths::findExecutable(u"canberra-gtk-play"_s);
    if (!player.isEmpty())
        QProcess::startDetached(player, {u"-i"_s, u"trash-empty"_s});
}

std::optional<QString> bundleOfExecutable(const QString& executable) {
    static const QString marker = u".app/Contents/MacOS/"_s;
    const qsizetype at = executable.lastIndexOf(marker);
    if (at <= 0 || executable.at(at - 1) == u'/')
        return std::nullopt;
    return executable.left(at + 4);
}

QList<BundleProcess> bundleProcesses(const QString& procRoot) {
    QList<qint64> pids;
    for (const QString& name : fs::listDirectory(procRoot).value_or(QStringList())) {
        bool number = false;
        const qint64 pid = name.toLongLong(&number);
        if (number && pid > 0)
            pids.append(pid);
    }
    std::sort(pids.begin(), pids.end());

    QList<BundleProcess> processes;
    for (const qint64 pid : std::as_const(pids)) {
        const QString link = procRoot + u'/' + QString::number(pid) + u"/exe"_s;
        const QString executable = fs::symlinkTarget(link).value_or(QString());
        if (const std::optional<QString> bundle = bundleOfExecutable(executable))
            processes.append({pid, executable, *bundle});
    }
    return processes;
}

bool terminate(qint64 pid) {
    return sendSignal(pid, SIGTERM);
}

bool kill(qint64 pid) {
    return sendSignal(pid, SIGKILL);
}

} // namespace moss::workspace
