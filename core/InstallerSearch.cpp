#include "InstallerSearch.h"

#include "Logging.h"
#include "platform/FileSystem.h"

#include <QProcess>
#include <QSet>
#include <algorithm>

namespace moss {

namespace {

const QString& metadataTool() {
    static const QString tool = QStringLiteral("/usr/bin/mdfind");
    return tool;
}

constexpr int kMetadataTimeLimitMs = 5000;
constexpr int kTerminateGraceMs = 1000;

bool hasInstallerExtension(const QString& path) {
    static const QSet<QString> extensions = {QStringLiteral("dmg"), QStringLiteral("pkg"),
                                             QStringLiteral("zip")};
    return extensions.contains(fs::pathExtension(path).toLower());
}

// Case- and diacritic-insensitive form of a text, for prefix tests.
QString folded(const QString& text) {
    QString decomposed = text.normalized(QString::NormalizationForm_D);
    decomposed.removeIf([](QChar c) { return c.category() == QChar::Mark_NonSpacing; });
    return decomposed.toCaseFolded();
}

// The installer files directly in folder whose names begin with a name key.
QStringList listedInstallers(const QStringList& names, const QString& folder) {
    QStringList keys;
    for (const QString& name : names) {
        const QString key = folded(name);
        if (!key.isEmpty())
            keys.append(key);
    }
    const std::optional<QStringList> entries = fs::listDirectory(folder, false);
    if (!entries || keys.isEmpty())
        return {};
    QStringList found;
    for (const QString& entry : *entries) {
        if (!hasInstallerExtension(entry))
            continue;
        const QString path = fs::appending(folder, entry);
        const fs::EntryType type = fs::entryType(path);
        if (type != fs::EntryType::file && type != fs::EntryType::symlink)
            continue;
        const QString name = folded(entry);
        const bool named = std::any_of(keys.cbegin(), keys.cend(),
                                       [&](const QString& key) { return name.startsWith(key); });
        if (named)
            found.append(path);
    }
    return found;
}

// Output of a search tool started with one argument; the tool is stopped at
// the time limit and whatever it printed until then is kept. Empty when it
// cannot be started.
QByteArray runSearchTool(const QString& tool, const QString& argument) {
    QProcess process;
    process.setProgram(tool);
    process.setArguments({argument});
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start();
    if (!process.waitForStarted()) {
        qCDebug(lcScan).noquote() << "Cannot start" << tool << '-' << process.errorString();
        return {};
    }
    process.waitForFinished(kMetadataTimeLimitMs);
    if (process.state() != QProcess::NotRunning) {
        qCDebug(lcScan).noquote() << tool << "stopped at the time limit; its output so far is kept";
        process.terminate();
        if (!process.waitForFinished(kTerminateGraceMs)) {
            process.kill();
            process.waitForFinished();
        }
    }
    return process.readAllStandardOutput();
}

} // namespace

QString installerQuery(const QStringList& names) {
    QStringList clauses;
    clauses.reserve(names.size());
    for (QString key : names) {
        key.remove(u'\\');
        key.remove(u'"');
        clauses.append(QStringLiteral("kMDItemFSName == \"") + key + QStringLiteral("*\"cd"));
    }
    return clauses.join(u" || ");
}

QStringList metadataInstallers(const QString& tool, const QStringList& names,
                               const QString& folder) {
    if (names.isEmpty())
        return {};
    const QByteArray output = runSearchTool(tool, installerQuery(names));
    QStringList found;
    for (const QByteArray& line : output.split('\n')) {
        if (line.isEmpty())
            continue;
        const QString path = fs::decodePath(line);
        const QString parent = fs::parentPath(path);
        const QString parentWithSlash = parent.endsWith(u'/') ? parent : parent + u'/';
        if (hasInstallerExtension(path) && parentWithSlash == folder)
            found.append(path);
    }
    return found;
}

QStringList findInstallers(const QStringList& names, const QString& folder) {
    if (names.isEmpty())
        return {};
    if (fs::exists(metadataTool()))
        return metadataInstallers(metadataTool(), names, folder);
    return listedInstallers(names, folder);
}

} // namespace moss
