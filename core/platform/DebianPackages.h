#pragma once

// Which Debian package installed a file, and its version, read straight from
// dpkg's database: the file lists (info/PACKAGE.list, one path a line) and
// the status file. Reading the lists once for a whole batch of paths is
// faster than asking dpkg-query, which reads the same lists in a child
// process, and needs no program to be present.

#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>

namespace moss::dpkg {

struct Package {
    QString name;    // without an architecture qualifier
    QString version; // of the installed package; empty when the status does not say
    friend bool operator==(const Package&, const Package&) = default;
};

// The packages that own the given absolute paths, from the database folder
// (normally /var/lib/dpkg). Paths that no installed package lists are left
// out; so is everything when the database cannot be read.
QHash<QString, Package> owners(const QStringList& paths, const QString& database);

// A package the status file holds, in the state its Status field ends with
// ("installed", "config-files", "half-installed"...).
struct Record {
    QString name;
    QString architecture;
    QString state;
};

// Every package of the status file, in its order; nullopt when the status
// cannot be read.
std::optional<QList<Record>> records(const QString& database);

} // namespace moss::dpkg
