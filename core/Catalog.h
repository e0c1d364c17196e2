#pragma once

// Installed applications, plug-ins and widgets, in titled sections.

#include "AppBundle.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <utility>

namespace moss {

struct CatalogSection {
    QString title;
    bool isSystem = false;
    QList<AppBundle> bundles; // sorted by display name; never empty

    const QString& id() const { return title; }
    friend bool operator==(const CatalogSection&, const CatalogSection&) = default;
};

namespace Catalog {

// (user folders, system folders) of a kind; "~" stands for the home folder.
const std::pair<QStringList, QStringList>& folders(BundleKind kind);
// (user section title, system section title) of a kind.
const std::pair<QString, QString>& titles(BundleKind kind);

QList<CatalogSection> sections(BundleKind kind);
// Every installed application, the user's section first, each in catalogue
// order: the competitors a leftover search arbitrates against.
QList<AppBundle> installedApplications();

// The installed list the window shows: sections(kind), and for applications
// the running user's Linux applications by source after the bundles
// (LinuxApps::sections), then what removed ones left behind
// (RemovedApps::section).
QList<CatalogSection> listSections(BundleKind kind);
// installedApplications() and every Linux application installed for the
// running user (LinuxApps::installed): the competitors of a Linux
// application's search. A bundle's search leaves the Linux ones aside.
QList<AppBundle> allApplications();
QList<AppBundle> scan(const QStringList& folders, BundleKind kind);
QStringList findBundles(const QString& folder, BundleKind kind, int depth);

} // namespace Catalog

} // namespace moss
