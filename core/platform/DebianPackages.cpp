#include "platform/DebianPackages.h"

#include "platform/FileSystem.h"

#include <QByteArrayView>
#include <QSet>
#include <cstring>

namespace moss::dpkg {

namespace {

// The largest file list read (the largest in a full desktop installation
// are a few megabytes).
constexpr qint64 maxListSize = 64 * 1024 * 1024;
constexpr qint64 maxStatusSize = 64 * 1024 * 1024;

// Calls f for each line of data (without its line feed) until f returns false.
template <typename F> void forEachLine(const QByteArray& data, F f) {
    const char* const bytes = data.constData();
    const qsizetype size = data.size();
    qsizetype pos = 0;
    while (pos < size) {
        const auto* newline =
            static_cast<const char*>(std::memchr(bytes + pos, '\n', size_t(size - pos)));
        const qsizetype end = newline ? newline - bytes : size;
        if (!f(QByteArrayView(bytes + pos, end - pos)))
            return;
        pos = end + 1;
    }
}

// "name" and "name:arch" of a list file's stem.
QString packageName(const QString& stem) {
    return stem.left(stem.indexOf(u':'));
}

// Versions of the installed packages among `wanted` (names, some with an
// architecture qualifier), keyed as asked.
QHash<QString, QString> installedVersions(const QString& database, const QSet<QString>& wanted) {
    QHash<QString, QString> versions;
    const std::optional<QByteArray> status =
        fs::readFile(fs::appending(database, QStringLiteral("status")), maxStatusSize);
    if (!status)
        return versions;
    QByteArray package, architecture, version;
    bool installed = false;
    const auto finishStanza = [&] {
        if (!package.isEmpty() && installed) {
            const QString name = QString::fromUtf8(package);
            const QString qualified = name + u':' + QString::fromUtf8(architecture);
            for (const QString& key : {name, qualified}) {
                if (wanted.contains(key))
                    versions.insert(key, QString::fromUtf8(version));
            }
        }
        package.clear();
        architecture.clear();
        version.clear();
        installed = false;
    };
    forEachLine(*status, [&](QByteArrayView line) {
        if (line.isEmpty())
            finishStanza();
        else if (line.startsWith("Package:"))
            package = line.sliced(8).trimmed().toByteArray();
        else if (line.startsWith("Architecture:"))
            architecture = line.sliced(13).trimmed().toByteArray();
        else if (line.startsWith("Version:"))
            version = line.sliced(8).trimmed().toByteArray();
        else if (line.startsWith("Status:"))
            installed = line.trimmed().endsWith(" installed");
        return true;
    });
    finishStanza();
    return versions;
}

} // namespace

std::optional<QList<Record>> records(const QString& database) {
    const std::optional<QByteArray> status =
        fs::readFile(fs::appending(database, QStringLiteral("status")), maxStatusSize);
    if (!status)
        return std::nullopt;
    QList<Record> result;
    Record record;
    const auto finishStanza = [&] {
        if (!record.name.isEmpty())
            result.append(std::move(record));
        record = {};
    };
    forEachLine(*status, [&](QByteArrayView line) {
        if (line.isEmpty())
            finishStanza();
        else if (line.startsWith("Package:"))
            record.name = QString::fromUtf8(line.sliced(8).trimmed());
        else if (line.startsWith("Architecture:"))
            record.architecture = QString::fromUtf8(line.sliced(13).trimmed());
        else if (const QByteArrayView value = line.trimmed(); line.startsWith("Status:"))
            record.state = QString::fromUtf8(value.sliced(value.lastIndexOf(' ') + 1));
        return true;
    });
    finishStanza();
    return result;
}

QHash<QString, Package> owners(const QStringList& paths, const QString& database) {
    // The wanted paths as bytes, looked up by view while the lists are read.
    QList<QByteArray> encoded;
    encoded.reserve(paths.size());
    QHash<QByteArrayView, QString> wanted;
    for (const QString& path : paths) {
        encoded.append(fs::encodePath(path));
        wanted.insert(encoded.last(), path);
    }
    QHash<QString, QString> ownerStems; // path -> list file stem
    const QString info = fs::appending(database, QStringLiteral("info"));
    const std::optional<QStringList> files = fs::listDirectory(info, false);
    if (!files || wanted.isEmpty())
        return {};
    for (const QString& file : *files) {
        if (ownerStems.size() == wanted.size())
            break;
        if (!file.endsWith(u".list"))
            continue;
        const std::optional<QByteArray> list = fs::readFile(fs::appending(info, file), maxListSize);
        if (!list)
            continue;
        const QString stem = file.chopped(5);
        forEachLine(*list, [&](QByteArrayView line) {
            const auto found = wanted.constFind(line);
            if (found != wanted.cend() && !ownerStems.contains(*found))
                ownerStems.insert(*found, stem);
            return true;
        });
    }

    QSet<QString> stems;
    for (const QString& stem : std::as_const(ownerStems))
        stems.insert(stem);
    const QHash<QString, QString> versions = installedVersions(database, stems);
    QHash<QString, Package> result;
    for (auto it = ownerStems.cbegin(); it != ownerStems.cend(); ++it) {
        const auto version = versions.constFind(it.value());
        if (version != versions.cend()) // listed, but no longer installed: not an owner
            result.insert(it.key(), Package{packageName(it.value()), *version});
    }
    return result;
}

} // namespace moss::dpkg
