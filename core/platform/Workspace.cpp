#include "platform/Workspace.h"

#include "platform/FileSystem.h"
#include "platform/Trash.h"

#include <QProcess>
#include <QStandardPaths>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <limits>
#include <sys/syscall.h>
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

QString procPath(const QString& procRoot, qint64 pid, QStringView file) {
    return procRoot + u'/' + QString::number(pid) + u'/' + file.toString();
}

// Whether the process is the current user's and started at `started`.
bool isSameUserProcess(qint64 pid, quint64 started) {
    const std::optional<fs::EntryStatus> status =
        fs::entryStatus(u"/proc/"_s + QString::number(pid), true);
    return status && status->owner == fs::currentUser() && startTime(pid) == started;
}

// Ids below 1 would signal a process group, or every process we may signal.
// The process is checked through a handle on it (pidfd), which stays with the
// process it was opened for: its id cannot pass to another process between
// the check and the signal.
bool sendSignal(qint64 pid, quint64 started, int signal) {
    if (pid <= 0 || pid > std::numeric_limits<pid_t>::max())
        return false;
    const int handle = int(::syscall(SYS_pidfd_open, pid_t(pid), 0));
    if (handle < 0) {
        // Kernels before 5.3: checked just before the signal.
        return errno == ENOSYS && isSameUserProcess(pid, started) &&
               ::kill(pid_t(pid), signal) == 0;
    }
    const bool sent = isSameUserProcess(pid, started) &&
                      ::syscall(SYS_pidfd_send_signal, handle, signal, nullptr, 0) == 0;
    ::close(handle);
    return sent;
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

QList<UserProcess> userProcesses(const QString& procRoot) {
    QList<qint64> pids;
    for (const QString& name : fs::listDirectory(procRoot).value_or(QStringList())) {
        bool number = false;
        const qint64 pid = name.toLongLong(&number);
        if (number && pid > 0)
            pids.append(pid);
    }
    std::sort(pids.begin(), pids.end());

    static const QString deleted = u" (deleted)"_s;
    const uint user = fs::currentUser();
    // Mossbin itself never blocks a removal, nor is asked to quit.
    const qint64 self = ::getpid();
    QList<UserProcess> processes;
    for (const qint64 pid : std::as_const(pids)) {
        if (pid == self)
            continue;
        const std::optional<fs::EntryStatus> status =
            fs::entryStatus(procRoot + u'/' + QString::number(pid), true);
        if (!status || status->owner != user)
            continue;
        QString executable = fs::symlinkTarget(procPath(procRoot, pid, u"exe")).value_or(QString());
        if (executable.endsWith(deleted))
            executable.chop(deleted.size());
        processes.append({pid, executable});
    }
    return processes;
}

QList<BundleProcess> bundleProcesses(const QString& procRoot) {
    QList<BundleProcess> processes;
    for (const UserProcess& process : userProcesses(procRoot)) {
        if (const std::optional<QString> bundle = bundleOfExecutable(process.executable))
            processes.append({process.pid, process.executable, *bundle});
    }
    return processes;
}

std::optional<fs::EntryStatus> executableStatus(const QString& procRoot, qint64 pid) {
    return fs::entryStatus(procPath(procRoot, pid, u"exe"), true);
}

std::optional<QString> environmentVariable(const QString& procRoot, qint64 pid,
                                           QByteArrayView name) {
    const std::optional<QByteArray> environment =
        fs::readFile(procPath(procRoot, pid, u"environ"), maxEnvironmentBytes);
    if (!environment)
        return std::nullopt;
    const QByteArrayView all(*environment);
    // Each variable ends in a NUL; one without it was cut short by the limit.
    for (qsizetype start = 0, end = 0; (end = all.indexOf('\0', start)) >= 0; start = end + 1) {
        const QByteArrayView variable = all.sliced(start, end - start);
        if (variable.size() > name.size() && variable.startsWith(name) &&
            variable.at(name.size()) == '=')
            return fs::decodePath(variable.sliced(name.size() + 1).toByteArray());
    }
    return std::nullopt;
}

std::optional<QByteArray> sandboxInfo(const QString& procRoot, qint64 pid) {
    std::optional<QByteArray> info =
        fs::readFile(procPath(procRoot, pid, u"root/.flatpak-info"), maxSandboxInfoBytes + 1);
    if (info && info->size() > maxSandboxInfoBytes)
        return std::nullopt;
    return info;
}

std::optional<quint64> startTime(qint64 pid, const QString& procRoot) {
    const std::optional<QByteArray> stat = fs::readFile(procPath(procRoot, pid, u"stat"), 4096);
    // PID (NAME) STATE PPID ...: the name may hold blanks and parentheses, so
    // the fields are counted from the last ")"; the start time is the 20th.
    const qsizetype nameEnd = stat ? stat->lastIndexOf(')') : -1;
    if (nameEnd < 0)
        return std::nullopt;
    const QList<QByteArray> fields = stat->mid(nameEnd + 1).split(' ');
    bool number = false;
    const quint64 started = fields.value(20).toULongLong(&number);
    return number ? std::optional(started) : std::nullopt;
}

bool terminate(qint64 pid, quint64 started) {
    return sendSignal(pid, started, SIGTERM);
}

bool kill(qint64 pid, quint64 started) {
    return sendSignal(pid, started, SIGKILL);
}

} // namespace moss::workspace
