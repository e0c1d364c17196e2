#pragma once

// A throw-away folder tree for one test. Tests never touch the real user's
// files: the test main points HOME, TMPDIR and the XDG folders into a
// process-wide sandbox before anything runs, and a Sandbox can take them over
// for itself with activate().

#include "LinuxLocations.h"
#include "platform/PropertyList.h"

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>
#include <QVariantMap>

namespace moss::test {

class Sandbox {
public:
    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    // The sandbox folder (symbolic links resolved) and paths below it.
    QString root() const { return root_; }
    QString path(const QString& relative) const;
    // root()/home, the home folder that activate() sets.
    QString home() const { return path(QStringLiteral("home")); }

    // Points HOME, TMPDIR, XDG_DATA_HOME, XDG_CACHE_HOME, XDG_CONFIG_HOME and
    // XDG_RUNTIME_DIR (and the XDG state and data folders, dpkg's database and
    // both Flatpak installations) into this sandbox until it is destroyed.
    void activate();
    // The environment activate() sets, for child processes.
    QProcessEnvironment environment() const;

    // Helpers; relative paths are below root(). Parents are created.
    QString makeDir(const QString& relative) const;
    QString writeFile(const QString& relative, const QByteArray& contents = {}) const;
    QString writePlist(const QString& relative, const QVariantMap& dict,
                       plist::Format format = plist::Format::xml) const;
    QString symlink(const QString& target, const QString& relativeLink) const;
    // A file of mode 0755, and a FIFO.
    QString writeExecutable(const QString& relative, const QByteArray& contents) const;
    QString makeFifo(const QString& relative) const;
    // A bundle folder with Contents/Info.plist holding `info` (no Info.plist
    // when `info` is empty).
    QString makeBundle(const QString& relative, const QVariantMap& info,
                       plist::Format format = plist::Format::xml) const;
    // Every Linux root inside the sandbox: the XDG folders below home(), the
    // data folders usr/local/share and usr/share, the executable path bin,
    // and dpkg, flatpak, snapd/desktop and snap for the system's databases.
    LinuxRoots linuxRoots() const;

private:
    QTemporaryDir dir_;
    QString root_;
    QProcessEnvironment saved_;
    bool active_ = false;
};

// An Info dictionary with an identifier and, when given, a name.
QVariantMap info(const QString& identifier, const QString& name = {});

} // namespace moss::test
