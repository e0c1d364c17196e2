#pragma once

// The leftover search of a Linux application: the folders of the Linux
// location table (LinuxLocations.h) listed one level deep, each entry judged
// by the application's matcher under its row's rule, settled against the
// other installed applications and admitted by the leftover search that runs
// this step (Scanner), as the library walk of a bundle is.
//
// What the application itself is in the result depends on where it came
// from (PackageRemoval.h): an AppImage and the user's own desktop entry are
// moved with the leftovers; a Flatpak's folder and a Snap's are ticked but
// removed by their tool; the entry of a Debian package or of another system
// entry is shown, unticked, for its package system to remove.

#include "AppBundle.h"
#include "Claim.h"
#include "FoundFile.h"
#include "LinuxLocations.h"
#include "Matcher.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace moss {

class LinuxSearch {
public:
    using Strength = Matcher::Strength;

    // What the leftover search lends this step.
    struct Host {
        // The judge: the claim left once the other applications had their
        // say, for the name that was judged.
        std::function<std::optional<Claim>(const QString& name, std::optional<Claim>)> settle;
        // Admission, ticked unless the reason doubts it; false when the item
        // is not taken (already taken, inside a taken folder, protected).
        std::function<bool(const QString& path, FileCategory category, bool needsAdmin,
                           FoundReason reason)>
            admit;
        // Whether to stop at the next entry.
        std::function<bool()> stopped;
        // Each folder as it is listed.
        std::function<void(const QString& folder)> searching;
    };

    LinuxSearch(const AppBundle& app, const Matcher& own, const LinuxRoots& roots);

    // The item that stands for the application, first in the result.
    const FoundFile& applicationItem() const { return applicationItem_; }

    // Lists and judges every row of the table (the installers in Downloads
    // only when asked). A Flatpak's exported links are its tool's to remove.
    void run(const Host& host, bool includeInstallers) const;

    // The first item of a Linux application's result, by source (see above).
    static FoundFile applicationItemOf(const AppBundle& app, const LinuxRoots& roots);

private:
    void searchFolder(const QString& folder, const LinuxLocation& row,
                      const LinuxLocations::NeverOffered& never, const Host& host) const;
    void searchInstallers(const QString& folder, const Host& host) const;
    std::optional<Claim> claimOf(const LinuxLocation& row, const QString& judged,
                                 const QString& path) const;
    // The name an installer file is named by, when it is this application's.
    std::optional<QString> installerKey(const QString& stem) const;
    // Whether admitting path would take the application item with it.
    bool holdsApplication(const QString& path) const;

    const AppBundle& app_;
    const Matcher& own_;
    const LinuxRoots& roots_;
    FoundFile applicationItem_;
    LinuxLocations::MentionKeys mentionKeys_;
    QStringList snapNames_;
};

} // namespace moss
