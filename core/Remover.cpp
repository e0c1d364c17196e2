#include "Remover.h"

#include "LinuxLocations.h"
#include "platform/FileSystem.h"
#include "platform/Trash.h"

#include <QAbstractEventDispatcher>
#include <QSet>
#include <QThread>
#include <QtConcurrent/QtConcurrentRun>
#include <unistd.h>

namespace moss {

namespace {

using namespace Qt::StringLiterals;

const QString kNotMoved = u"Не удалось переместить"_s;

// The first occurrence of every location: an item is handled once, so that
// it cannot end up both trashed and failed.
QList<FoundFile> withoutRepeats(const QList<FoundFile>& files) {
    QList<FoundFile> unique;
    QSet<QString> seen;
    for (const FoundFile& file : files) {
        if (!seen.contains(file.url)) {
            seen.insert(file.url);
            unique.append(file);
        }
    }
    return unique;
}

bool isUserLaunchAgent(const FoundFile& file, const QString& home) {
    return file.category == FileCategory::launch && fs::pathExtension(file.url) == u"plist" &&
           file.url.startsWith(home + u'/');
}

bool isUserUnit(const FoundFile& file, const QString& unitFolder) {
    static const QStringList kinds = {u"service"_s, u"timer"_s, u"socket"_s};
    return file.category == FileCategory::launch && fs::parentPath(file.url) == unitFolder &&
           kinds.contains(fs::pathExtension(file.url));
}

// Whether a path can be written into a script's text: raw bytes that are not
// UTF-8 cannot, and would name a different file.
bool isScriptSafe(const QString& path) {
    for (const QChar c : path) {
        if (c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF)
            return false;
    }
    return true;
}

// Stage 2's outcome and, when the recycle failed as a whole, stage 3.
void finishStages(RemovalResult& result, const QList<FoundFile>& pending,
                  const workspace::RecycleResult& recycled, const RemovalServices& services) {
    if (recycled.error) {
        for (const FoundFile& file : pending) {
            if (Remover::finderDelete(file.url, services)) {
                result.freedBytes += file.size;
            } else {
                result.failed.insert(file.url, *recycled.error);
                result.reasons.insert(file.url, trash::Error::trashUnavailable);
            }
        }
        return;
    }
    for (const FoundFile& file : pending) {
        const auto location = recycled.newLocations.constFind(file.url);
        if (location == recycled.newLocations.cend())
            continue;
        result.trashed.insert(file.url, *location);
        result.freedBytes += file.size;
    }
    for (const FoundFile& file : pending) {
        if (recycled.newLocations.contains(file.url))
            continue;
        result.failed.insert(file.url, kNotMoved);
        result.reasons.insert(
            file.url, recycled.reasons.value(file.url, make_error_code(trash::Error::unknown)));
        if (const auto copy = recycled.halfMoved.constFind(file.url);
            copy != recycled.halfMoved.cend())
            result.halfMoved.insert(file.url, *copy);
    }
}

// The package tool's turn, once the leftovers have gone.
RemovalResult uninstall(RemovalResult result, const FoundFile& item,
                        const ApplicationRemoval& application, const RemovalServices& services) {
    if (!result.failed.isEmpty()) {
        result.failed.insert(item.url, u"Не удалено: сначала в Корзину должны уйти все "
                                       "выбранные файлы приложения"_s);
        return result;
    }
    const tools::ToolRun run = services.runTool(application.program, application.arguments);
    if (run.ok()) {
        result.uninstalled.insert(item.url, application.reinstall);
        result.freedBytes += item.size;
    } else {
        result.failed.insert(item.url, tools::describe(application.program, run));
    }
    return result;
}

RemovalResult finished(RemovalResult result, const RemovalServices& services) {
    if (!result.trashed.isEmpty())
        services.playTrashSound();
    return result;
}

} // namespace

RemovalServices RemovalServices::live() {
    return {
        .trashItem = [](const QString& url) -> std::optional<QString> {
            const trash::TrashMove moved = trash::moveToTrash(url);
            return moved ? std::make_optional(moved.location) : std::nullopt;
        },
        .recycle = [](const QStringList& urls) { return workspace::recycle(urls); },
        .runFinderScript = [](const QString& script) { return workspace::runFinderScript(script); },
        .bootoutLaunchAgent = [](const QString& plist) { workspace::bootoutLaunchAgent(plist); },
        .stopUserUnit = [](const QString& unit) { workspace::stopUserUnit(unit); },
        .playTrashSound = [] { workspace::playTrashSound(); },
        .runTool =
            [](const QString& program, const QStringList& arguments) {
                return tools::run(program, arguments, PackageRemoval::toolLimit);
            },
    };
}

QFuture<RemovalResult> Remover::moveToTrash(const QList<FoundFile>& files,
                                            const RemovalServices& services) {
    const QList<FoundFile> chosen = withoutRepeats(files);
    unloadLaunchJobs(chosen, services);

    RemovalResult result;
    QList<FoundFile> pending;
    for (const FoundFile& file : chosen) {
        if (const std::optional<QString> location = services.trashItem(file.url)) {
            result.trashed.insert(file.url, *location);
            result.freedBytes += file.size;
        } else {
            pending.append(file);
        }
    }
    if (pending.isEmpty())
        return QtFuture::makeReadyFuture(finished(result, services));

    // The copy runs on a worker; its outcome comes back to this thread, where
    // the Finder stage and the delivery run.
    QStringList urls;
    for (const FoundFile& file : std::as_const(pending))
        urls.append(file.url);
    const auto finish = [result, pending, services](const workspace::RecycleResult& recycled) {
        RemovalResult outcome = result;
        finishStages(outcome, pending, recycled, services);
        return finished(outcome, services);
    };
    QObject* const thisThread = QAbstractEventDispatcher::instance(QThread::currentThread());
    if (!thisThread) // no event loop to come back to: the caller waits
        return QtFuture::makeReadyFuture(finish(services.recycle(urls)));
    return QtConcurrent::run([recycle = services.recycle, urls] { return recycle(urls); })
        .then(thisThread, finish);
}

QFuture<RemovalResult> Remover::remove(const QList<FoundFile>& files,
                                       const ApplicationRemoval& application,
                                       const RemovalServices& services) {
    using Way = ApplicationRemoval::Way;
    QList<FoundFile> leftovers = files;
    std::optional<FoundFile> item;
    if (application.way != Way::trash) {
        const auto row =
            std::find_if(leftovers.cbegin(), leftovers.cend(),
                         [&](const FoundFile& f) { return f.url == application.item; });
        if (row != leftovers.cend()) {
            item = *row;
            leftovers.removeIf([&](const FoundFile& f) { return f.url == application.item; });
        }
    }
    QFuture<RemovalResult> trashed = moveToTrash(leftovers, services);
    if (!item)
        return trashed;
    if (application.way == Way::elsewhere) {
        return trashed.then([url = item->url](RemovalResult result) {
            result.failed.insert(url, u"Его удаляет пакетный менеджер системы"_s);
            return result;
        });
    }
    const auto step = [item = *item, application, services](const RemovalResult& result) {
        return uninstall(result, item, application, services);
    };
    QObject* const thisThread = QAbstractEventDispatcher::instance(QThread::currentThread());
    if (!thisThread) // no event loop to come back to: the caller waits
        return QtFuture::makeReadyFuture(step(trashed.result()));
    // The tool may wait minutes for the user's authorisation: on a worker.
    return trashed.then(QtFuture::Launch::Async, step).then(thisThread, [](RemovalResult result) {
        return result;
    });
}

QStringList Remover::restore(const QMap<QString, QString>& trashed) {
    return restore(trashed, {});
}

QStringList Remover::restore(const QMap<QString, QString>& trashed,
                             const QMap<QString, QString>& halfMoved) {
    QStringList restored;
    for (auto entry = trashed.cbegin(); entry != trashed.cend(); ++entry) {
        if (trash::restore(entry.value(), entry.key()))
            restored.append(entry.key());
    }
    for (auto entry = halfMoved.cbegin(); entry != halfMoved.cend(); ++entry) {
        if (trash::restore(entry.value(), entry.key(), trash::Restore::merging))
            restored.append(entry.key());
    }
    return restored;
}

void Remover::unloadLaunchJobs(const QList<FoundFile>& files, const RemovalServices& services) {
    const QString home = fs::homePath();
    const QString unitFolder = fs::appending(LinuxRoots::live().configHome, u"systemd/user"_s);
    for (const FoundFile& file : files) {
        if (isUserLaunchAgent(file, home))
            services.bootoutLaunchAgent(file.url);
        else if (isUserUnit(file, unitFolder) && services.stopUserUnit)
            services.stopUserUnit(fs::lastComponent(file.url));
    }
}

bool Remover::finderDelete(const QString& url, const RemovalServices& services) {
    if (!isScriptSafe(url) || !services.runFinderScript(finderDeleteScript(url)))
        return false;
    return !fs::exists(url);
}

QString Remover::finderDeleteScript(const QString& path) {
    QString escaped = path;
    escaped.replace(u'\\', u"\\\\"_s);
    escaped.replace(u'"', u"\\\""_s);
    return u"tell application \"Finder\" to delete (POSIX file \""_s + escaped + u"\" as alias)"_s;
}

} // namespace moss
