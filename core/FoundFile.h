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

// Why a search reports an item, and why it is not ticked by default when it
// is not.
struct FoundReason {
    // What the item's name or contents matched; `key` says which key.
    enum class Match {
        application,   // the bundle itself; no key
        identifier,    // one of the bundle's identifiers (as the matcher holds it)
        name,          // one of the bundle's name keys
        team,          // the bundle's team identifier, before a group container's name
        launchProgram, // a launch job's program or executable names the bundle: that text
        launchLabel,   // a launch job's label names the bundle: that label
        launchBundle,  // a launch job is associated with the bundle: that identifier
        installer,     // an installer whose name begins with a name key: that key
        unitTrigger,   // a timer or socket that starts a unit found: that unit
    };
    // Why the item is unticked by default; none for a ticked one.
    enum class Doubt {
        none,
        foreignWord, // only a name matched, and a word of another follows it
        partialName, // a team's group container that holds the name within another
        otherClaim,  // another installed application claims it by name: `rival`
        installer,   // installers are never ticked by default
        commonName,  // only a whole name matched, too short or common to be a key
    };

    Match match = Match::application;
    QString key;
    Doubt doubt = Doubt::none;
    QString rival; // the display name of the application of otherClaim

    friend bool operator==(const FoundReason&, const FoundReason&) = default;
};

struct FoundFile {
    QString url; // absolute, standardised path (symbolic links not resolved)
    FileCategory category = FileCategory::other;
    qint64 size = 0; // bytes allocated on disk
    bool needsAdmin = false;
    bool selectedByDefault = false;
    FoundReason reason = {};

    const QString& id() const { return url; }
    // Two records are equal when every field is, the reason included: the same
    // path found for another reason is another finding.
    friend bool operator==(const FoundFile&, const FoundFile&) = default;
};

size_t qHash(const FoundFile& file, size_t seed = 0);

// Result order: category position, then path under a numeric,
// case-insensitive collation. Stable.
bool resultOrderLess(const FoundFile& a, const FoundFile& b);
void sortByResultOrder(QList<FoundFile>& files);

} // namespace moss
