#pragma once

// Installer files (disk images, packages, archives) in the Downloads folder
// whose names begin with one of a bundle's name keys.

#include <QString>
#include <QStringList>

namespace moss {

// The installer files directly inside folder (a path ending in "/"): through
// the platform's metadata search where it has one, else by listing folder and
// comparing names ignoring case and diacritics. The scanner's default
// installer source.
QStringList findInstallers(const QStringList& names, const QString& folder);

// The metadata query for files whose names begin with one of the keys.
QString installerQuery(const QStringList& names);

// Runs a metadata search tool on installerQuery(names), stopping it after
// five seconds, and keeps the installer files directly inside folder.
QStringList metadataInstallers(const QString& tool, const QStringList& names,
                               const QString& folder);

} // namespace moss
