#include "platform/ToolRun.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace moss::tools {

using namespace Qt::StringLiterals;

namespace {

constexpr int killGraceMilliseconds = 1000;

QString tailText(const QByteArray& bytes) {
    return QString::fromUtf8(bytes.right(outputLimit)).trimmed();
}

} // namespace

ToolRun run(const QString& program, const QStringList& arguments, std::chrono::milliseconds limit,
            const QStringList& searchPath) {
    ToolRun result;
    const QString path = QFileInfo(program).isAbsolute()
                             ? program
                             : QStandardPaths::findExecutable(program, searchPath);
    if (path.isEmpty() || !QFileInfo(path).isExecutable()) {
        result.outcome = ToolRun::Outcome::missing;
        return result;
    }
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(path, arguments, QIODevice::ReadOnly);
    if (!process.waitForStarted(-1)) {
        result.output = process.errorString();
        return result;
    }
    // The output is collected as it comes, so that a tool that prints much
    // never blocks on a full pipe.
    QByteArray output;
    QDeadlineTimer deadline(limit);
    while (process.state() != QProcess::NotRunning && !deadline.hasExpired()) {
        process.waitForReadyRead(int(std::min<qint64>(deadline.remainingTime(), 200)));
        output += process.readAll();
        if (output.size() > 4 * outputLimit)
            output = output.right(outputLimit);
    }
    if (process.state() != QProcess::NotRunning) {
        process.terminate();
        if (!process.waitForFinished(killGraceMilliseconds)) {
            process.kill();
            process.waitForFinished(-1);
        }
        output += process.readAll();
        result.outcome = ToolRun::Outcome::timedOut;
        result.output = tailText(output);
        return result;
    }
    output += process.readAll();
    result.output = tailText(output);
    if (process.exitStatus() == QProcess::NormalExit) {
        result.exitCode = process.exitCode();
        if (result.exitCode == 0)
            result.outcome = ToolRun::Outcome::succeeded;
    }
    return result;
}

QString describe(const QString& program, const ToolRun& run) {
    QString what;
    switch (run.outcome) {
    case ToolRun::Outcome::succeeded:
        what = program + u" отработал успешно"_s;
        break;
    case ToolRun::Outcome::missing:
        return program + u" не найден в системе"_s;
    case ToolRun::Outcome::failed:
        what = run.exitCode >= 0
                   ? program + u" завершился с кодом "_s + QString::number(run.exitCode)
                   : program + u" не удалось выполнить"_s;
        break;
    case ToolRun::Outcome::timedOut:
        what = program + u" не ответил вовремя и был остановлен"_s;
        break;
    }
    return run.output.isEmpty() ? what : what + u": "_s + run.output;
}

} // namespace moss::tools
