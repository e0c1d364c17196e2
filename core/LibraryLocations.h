#pragma once

// Where a leftover search looks: its roots, and the table of Library
// sub-folders listed below each root with the category and matching rule of
// each.

#include "FoundFile.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace moss {

struct Location {
    enum class Rule { idOrName, idOnly, groupContainers, launchd, receipts, installers };

    QString path; // relative to a Library folder
    FileCategory category = FileCategory::other;
    Rule rule = Rule::idOnly;
    bool userOnly = false; // searched only in the user's own Library
};

struct SearchRoots {
    QString home;
    QStringList system;
    QStringList userTemp;

    // The running user's roots, built anew on every call.
    static SearchRoots live();
};

// The 42 searched Library sub-folders in search order; every parent folder
// comes before the folders nested in it. Built once, safe from any thread.
const QList<Location>& libraryLocations();

} // namespace moss
