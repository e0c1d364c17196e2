#pragma once

// List models that the QML views bind to: the installed bundles of the
// filtered catalogue, and one session's found files grouped by category.
// Both are flat lists whose rows carry their group's title, so that a
// ListView draws the headings with `section.property`.

#include "Catalog.h"
#include "Protection.h"
#include "Scanner.h"

#include <QAbstractListModel>
#include <QList>
#include <QString>
#include <QtQml/qqmlregistration.h>

namespace moss {

class Session;

// The image source of a file's icon: "image://fileicon/" followed by the
// percent-encoded bytes of the absolute path (fs::encodePath; decode with
// QByteArray::fromPercentEncoding and fs::decodePath). The window registers
// the image provider named "fileicon".
QString iconSource(const QString& path);

// The path with the home folder shown as "~".
QString displayPath(const QString& path);
// The folder that holds a file, with the home folder path shown as "~".
QString displayFolder(const QString& path);

// "версия 2.1 · org.example.app": the present ones of the version and the
// identifier; empty when the bundle has neither.
QString bundleSubtitle(const AppBundle& bundle);

// The installed list as shown: system sections left out when `showSystem` is
// false (except for applications), then the bundles whose display name or
// identifier contains the query (blanks and tabs trimmed), ignoring case;
// sections left empty are dropped.
QList<CatalogSection> filterSections(const QList<CatalogSection>& sections, BundleKind kind,
                                     bool showSystem, const QString& query);

// The installed bundles of `Store::filteredSections`, one row per bundle.
class InstalledListModel : public QAbstractListModel {
    Q_OBJECT
    QML_ANONYMOUS
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    enum Role {
        displayNameRole = Qt::UserRole + 1,
        versionRole,          // string, empty when absent
        bundleIdentifierRole, // string, empty when absent
        subtitleRole,         // bundleSubtitle
        pathRole,             // the bundle's location
        iconSourceRole,       // iconSource(path)
        sectionTitleRole,     // the section's title
        sectionIsSystemRole,  // the section's isSystem flag
        protectionRole,       // ProtectionStatus
        inProtectedListRole,  // the identifier is in Store::protectedIDs exactly
    };

    using QAbstractListModel::QAbstractListModel;

    // Replaces the rows; the status of every bundle is computed against
    // `userProtected`.
    void reset(const QList<CatalogSection>& sections, const QSet<QString>& userProtected);

    int count() const { return int(rows_.size()); }
    // The row of the bundle at `path`, else -1.
    Q_INVOKABLE int rowOf(const QString& path) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

signals:
    void countChanged();

private:
    struct Row {
        AppBundle bundle;
        QString sectionTitle;
        bool sectionIsSystem = false;
        ProtectionStatus status = ProtectionStatus::None;
        bool inProtectedList = false;
    };
    QList<Row> rows_;
};

// A session's files grouped by category in display order, one row per file.
// Follows the session's files, ticks and sizes by itself, row by row while
// its search adds files.
class SessionFilesModel : public QAbstractListModel {
    Q_OBJECT
    QML_ANONYMOUS
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    enum Role {
        nameRole = Qt::UserRole + 1, // last path component
        folderRole,                  // displayFolder(path)
        pathRole,
        iconSourceRole,
        sizeRole,          // bytes (qint64)
        sizeTextRole,      // formatByteCount(size); "…" until the search measured it
        categoryTitleRole, // the category's title
        checkedRole,       // the path is in Session::selected; writable
        needsAdminRole,
        reasonRole,    // why the file is listed (matchText)
        doubtRole,     // why it is unticked by default (doubtText), or empty
        checkableRole, // the tick can change (Session::isCheckable)
        noteRole,      // how the application row goes when not to the Trash, or empty
        commandRole,   // the command that removes it, for the user to copy, or empty
    };

    explicit SessionFilesModel(Session* session);

    int count() const { return int(files_.size()); }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QHash<int, QByteArray> roleNames() const override;

signals:
    void countChanged();

private:
    void reload();
    void insert(int row);
    void refreshChecks();
    void refreshSizes();

    Session* session_;
    QList<FoundFile> files_; // grouped order
};

} // namespace moss
