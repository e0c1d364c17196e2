#pragma once

// The items a leftover search reports: their categories, the record of one
// item, and the order in which a search result lists them.

#include <QList>
#include <QString>
#include <array>
#include <optional>

namespace moss {

enum class FileCategory {
    bundle,
    support,
    containers,
    preferences,
    caches,
    logs,
    savedState,
    launch,
    web,
    plugins,
    receipts,
    installers,
    other,
};

// The category's display title.
QString rawValue(FileCategory category);
std::optional<FileCategory> fileCategoryFromRawValue(const QString& title);
// The thirteen categories in display order.
const std::array<FileCategory, 13>& allFileCategories();
size_t qHash(FileCategory category, size_t seed = 0);

struct FoundFile {
    QString url; // absolute, standardised path (symbolic links not resolved)
    FileCategory category = FileCategory::other;
    qint64 size = 0; // bytes allocated on disk
    bool needsAdmin = false;
    bool selectedByDefault = false;

    const QString& id() const { return url; }
    friend bool operator==(const FoundFile&, const FoundFile&) = default;
};

size_t qHash(const FoundFile& file, size_t seed = 0);

// Result order: category position, then path under a numeric,
// case-insensitive collation. Stable.
bool resultOrderLess(const FoundFile& a, const FoundFile& b);
void sortByResultOrder(QList<FoundFile>& files);

} // namespace moss
