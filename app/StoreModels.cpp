#include "StoreModels.h"

#include "ReasonText.h"
#include "Session.h"
#include "TextRules.h"
#include "platform/ByteCount.h"
#include "platform/Collation.h"
#include "platform/FileSystem.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace moss {

QString iconSource(const QString& path) {
    return u"image://fileicon/"_s + QString::fromLatin1(fs::encodePath(path).toPercentEncoding());
}

QString displayPath(const QString& path) {
    const QString home = fs::homePath();
    if (path == home)
        return u"~"_s;
    if (path.startsWith(home + u'/'))
        return u'~' + path.mid(home.size());
    return path;
}

QString displayFolder(const QString& path) {
    return displayPath(fs::parentPath(path));
}

QString bundleSubtitle(const AppBundle& bundle) {
    QStringList parts;
    if (bundle.version)
        parts.append(u"версия "_s + *bundle.version);
    if (bundle.bundleIdentifier)
        parts.append(*bundle.bundleIdentifier);
    return parts.join(u" · "_s);
}

QList<CatalogSection> filterSections(const QList<CatalogSection>& sections, BundleKind kind,
                                     bool showSystem, const QString& query) {
    const bool hideSystem = !showSystem && kind != BundleKind::Application;
    const QString q = trimmedBlanks(query);
    const auto matches = [&q](const AppBundle& bundle) {
        return q.isEmpty() || localizedCaseInsensitiveContains(bundle.displayName, q) ||
               localizedCaseInsensitiveContains(bundle.bundleIdentifier.value_or(QString()), q);
    };
    QList<CatalogSection> result;
    for (const CatalogSection& section : sections) {
        if (section.isSystem && hideSystem)
            continue;
        CatalogSection taken{section.title, section.isSystem, {}};
        std::copy_if(section.bundles.begin(), section.bundles.end(),
                     std::back_inserter(taken.bundles), matches);
        if (!taken.bundles.isEmpty())
            result.append(std::move(taken));
    }
    return result;
}

// MARK: - InstalledListModel

void InstalledListModel::reset(const QList<CatalogSection>& sections,
                               const QSet<QString>& userProtected) {
    const int before = count();
    beginResetModel();
    rows_.clear();
    for (const CatalogSection& section : sections)
        for (const AppBundle& bundle : section.bundles)
            rows_.append(
                {bundle, section.title, section.isSystem, Protection::status(bundle, userProtected),
                 bundle.bundleIdentifier && userProtected.contains(*bundle.bundleIdentifier)});
    endResetModel();
    if (count() != before)
        emit countChanged();
}

int InstalledListModel::rowOf(const QString& path) const {
    for (int row = 0; row < count(); ++row)
        if (rows_[row].bundle.url == path)
            return row;
    return -1;
}

int InstalledListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

QVariant InstalledListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Row& row = rows_[index.row()];
    const AppBundle& bundle = row.bundle;
    switch (role) {
    case Qt::DisplayRole:
    case displayNameRole:
        return bundle.displayName;
    case versionRole:
        return bundle.version.value_or(QString());
    case bundleIdentifierRole:
        return bundle.bundleIdentifier.value_or(QString());
    case subtitleRole:
        return bundleSubtitle(bundle);
    case pathRole:
        return bundle.url;
    case iconSourceRole:
        return iconSource(bundle.url);
    case sectionTitleRole:
        return row.sectionTitle;
    case sectionIsSystemRole:
        return row.sectionIsSystem;
    case protectionRole:
        return QVariant::fromValue(row.status);
    case inProtectedListRole:
        return row.inProtectedList;
    default:
        return {};
    }
}

QHash<int, QByteArray> InstalledListModel::roleNames() const {
    return {{displayNameRole, "displayName"},
            {versionRole, "version"},
            {bundleIdentifierRole, "bundleIdentifier"},
            {subtitleRole, "subtitle"},
            {pathRole, "path"},
            {iconSourceRole, "iconSource"},
            {sectionTitleRole, "sectionTitle"},
            {sectionIsSystemRole, "sectionIsSystem"},
            {protectionRole, "protection"},
            {inProtectedListRole, "inProtectedList"}};
}

// MARK: - SessionFilesModel

SessionFilesModel::SessionFilesModel(Session* session)
    : QAbstractListModel(session), session_(session) {
    connect(session, &Session::filesChanged, this, &SessionFilesModel::reload);
    connect(session, &Session::fileInserted, this, &SessionFilesModel::insert);
    connect(session, &Session::selectedChanged, this, &SessionFilesModel::refreshChecks);
    connect(session, &Session::sizesChanged, this, &SessionFilesModel::refreshSizes);
}

void SessionFilesModel::reload() {
    const int before = count();
    beginResetModel();
    files_.clear();
    for (const auto& [category, members] : session_->grouped())
        files_ += members;
    endResetModel();
    if (count() != before)
        emit countChanged();
}

// The session keeps its files in result order, which groups them by category
// in display order: its row is the model's.
void SessionFilesModel::insert(int row) {
    beginInsertRows({}, row, row);
    files_.insert(row, session_->files().at(row));
    endInsertRows();
    emit countChanged();
}

void SessionFilesModel::refreshChecks() {
    if (!files_.isEmpty())
        emit dataChanged(index(0), index(count() - 1), {checkedRole});
}

void SessionFilesModel::refreshSizes() {
    if (files_.size() != session_->files().size())
        return reload();
    for (qsizetype i = 0; i < files_.size(); ++i)
        files_[i].size = session_->files().at(i).size;
    if (!files_.isEmpty())
        emit dataChanged(index(0), index(count() - 1), {sizeRole, sizeTextRole});
}

int SessionFilesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

QVariant SessionFilesModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const FoundFile& file = files_[index.row()];
    switch (role) {
    case Qt::DisplayRole:
    case nameRole:
        return fs::lastComponent(file.url);
    case folderRole:
        return displayFolder(file.url);
    case pathRole:
        return file.url;
    case iconSourceRole:
        return iconSource(file.url);
    case sizeRole:
        return file.size;
    case sizeTextRole:
        return session_->isSizePending(file.url) ? u"…"_s : formatByteCount(file.size);
    case categoryTitleRole:
        return rawValue(file.category);
    case checkedRole:
        return session_->isChecked(file.url);
    case needsAdminRole:
        return file.needsAdmin;
    case reasonRole:
        return matchText(file.reason);
    case doubtRole:
        return doubtText(file.reason);
    case checkableRole:
        return session_->isCheckable(file.url);
    case noteRole:
    case commandRole: {
        const ApplicationRemoval& removal = session_->applicationRemoval();
        if (file.category != FileCategory::bundle || file.url != removal.item)
            return QString();
        return role == noteRole ? PackageRemoval::toolNote(removal) : removal.command;
    }
    default:
        return {};
    }
}

bool SessionFilesModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != checkedRole ||
        !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return false;
    session_->setChecked(files_[index.row()].url, value.toBool());
    return true;
}

Qt::ItemFlags SessionFilesModel::flags(const QModelIndex& index) const {
    return QAbstractListModel::flags(index) | Qt::ItemIsEditable | Qt::ItemIsUserCheckable;
}

QHash<int, QByteArray> SessionFilesModel::roleNames() const {
    return {{nameRole, "name"},
            {folderRole, "folder"},
            {pathRole, "path"},
            {iconSourceRole, "iconSource"},
            {sizeRole, "size"},
            {sizeTextRole, "sizeText"},
            {categoryTitleRole, "categoryTitle"},
            {checkedRole, "checked"},
            {needsAdminRole, "needsAdmin"},
            {reasonRole, "reason"},
            {doubtRole, "doubt"},
            {checkableRole, "checkable"},
            {noteRole, "note"},
            {commandRole, "command"}};
}

} // namespace moss
