#include "Catalog.h"

#include "LinuxApps.h"
#include "Logging.h"
#include "RemovedApps.h"
#include "platform/Collation.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <array>

namespace moss::Catalog {

namespace {

QStringList inLibrary(const QString& library, const QStringList& folders) {
    QStringList paths;
    for (const QString& folder : folders)
        paths.append(library + u'/' + folder);
    return paths;
}

const QStringList& pluginFolders() {
    static const QStringList folders = {
        QStringLiteral("PreferencePanes"),
        QStringLiteral("QuickLook"),
        QStringLiteral("Screen Savers"),
        QStringLiteral("Spotlight"),
        QStringLiteral("Internet Plug-Ins"),
        QStringLiteral("Mail/Bundles"),
        QStringLiteral("Contextual Menu Items"),
        QStringLiteral("Services"),
        QStringLiteral("ColorPickers"),
        QStringLiteral("Input Methods"),
        QStringLiteral("Audio/Plug-Ins/Components"),
    };
    return folders;
}

QString expandingTilde(const QString& folder) {
    return folder.startsWith(u'~') ? fs::homePath() + folder.mid(1) : folder;
}

bool matchesKind(const QString& extension, BundleKind kind) {
    switch (kind) {
    case BundleKind::Application:
        return extension == u"app";
    case BundleKind::Widget:
        return extension == u"wdgt";
    case BundleKind::Plugin:
        return AppBundle::pluginExtensions().contains(extension);
    }
    return false;
}

} // namespace

namespace {

// Where each kind is installed and how its sections are titled.
struct KindTable {
    std::pair<QStringList, QStringList> folders;
    std::pair<QString, QString> titles;
};

const KindTable& table(BundleKind kind) {
    static const std::array<KindTable, 3> tables = {
        KindTable{{{QStringLiteral("~/Applications")}, {QStringLiteral("/Applications")}},
                  {QStringLiteral("Приложения пользователя"), QStringLiteral("Приложения")}},
        KindTable{{inLibrary(QStringLiteral("~/Library"), pluginFolders()),
                   inLibrary(QStringLiteral("/Library"), pluginFolders())
                       << QStringLiteral("/Library/Audio/Plug-Ins/HAL")},
                  {QStringLiteral("Плагины пользователя"), QStringLiteral("Системные плагины")}},
        KindTable{{{QStringLiteral("~/Library/Widgets")}, {QStringLiteral("/Library/Widgets")}},
                  {QStringLiteral("Виджеты пользователя"), QStringLiteral("Системные виджеты")}},
    };
    return tables.at(static_cast<size_t>(kind)); // in BundleKind order
}

} // namespace

const std::pair<QStringList, QStringList>& folders(BundleKind kind) {
    return table(kind).folders;
}

const std::pair<QString, QString>& titles(BundleKind kind) {
    return table(kind).titles;
}

QList<CatalogSection> sections(BundleKind kind) {
    const auto& [userFolders, systemFolders] = folders(kind);
    const auto& [userTitle, systemTitle] = titles(kind);
    const CatalogSection candidates[] = {
        {userTitle, false, scan(userFolders, kind)},
        {systemTitle, true, scan(systemFolders, kind)},
    };
    QList<CatalogSection> result;
    for (const CatalogSection& section : candidates) {
        if (!section.bundles.isEmpty())
            result.append(section);
    }
    return result;
}

QList<AppBundle> installedApplications() {
    QList<AppBundle> applications;
    for (const CatalogSection& section : sections(BundleKind::Application))
        applications += section.bundles;
    return applications;
}

QList<CatalogSection> listSections(BundleKind kind) {
    QList<CatalogSection> result = sections(kind);
    if (kind != BundleKind::Application)
        return result;
    const LinuxRoots roots = LinuxRoots::live();
    const QList<AppBundle> linux = LinuxApps::catalogue(roots);
    result += LinuxApps::sections(linux);
    if (std::optional<CatalogSection> removed = RemovedApps::section(linux, roots))
        result.append(std::move(*removed));
    return result;
}

QList<AppBundle> allApplications() {
    return installedApplications() + LinuxApps::installed(LinuxRoots::live());
}

QList<AppBundle> scan(const QStringList& folderList, BundleKind kind) {
    const int depth = kind == BundleKind::Application ? 2 : 1;
    QStringList candidates;
    for (const QString& folder : folderList)
        candidates += findBundles(expandingTilde(folder), kind, depth);
    QList<AppBundle> bundles;
    for (const QString& candidate : candidates) {
        if (std::optional<AppBundle> bundle = AppBundle::load(candidate, false))
            bundles.append(std::move(*bundle));
        else
            qCDebug(lcCatalog).noquote() << "Not a bundle, left out:" << candidate;
    }
    std::stable_sort(bundles.begin(), bundles.end(), [](const AppBundle& a, const AppBundle& b) {
        return localizedCaseInsensitiveCompare(a.displayName, b.displayName) < 0;
    });
    return bundles;
}

QStringList findBundles(const QString& folder, BundleKind kind, int depth) {
    if (depth <= 0)
        return {};
    const std::optional<QStringList> entries = fs::listDirectory(folder, false);
    if (!entries) {
        if (lcCatalog().isDebugEnabled() && fs::exists(folder))
            qCDebug(lcCatalog).noquote() << "Cannot list" << folder;
        return {};
    }
    QStringList found;
    for (const QString& name : *entries) {
        const QString path = fs::appending(folder, name);
        const QString extension = fs::pathExtension(name).toLower();
        if (matchesKind(extension, kind))
            found.append(path);
        else if (extension.isEmpty() && fs::isRealDirectory(path))
            found += findBundles(path, kind, depth - 1);
    }
    return found;
}

} // namespace moss::Catalog
