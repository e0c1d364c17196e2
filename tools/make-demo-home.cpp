// Lays out a home folder for demonstrations: macOS-style applications with
// nested helpers, a preference pane and a widget, and what they leave behind
// in the Library folders, in Downloads and in the temporary folders; and
// Linux applications of every source (the user's own desktop entry, Flatpaks
// of the user's and of the system installation, a Snap, an AppImage, a
// Debian package's entry and an entry no package owns) with what they leave
// in the XDG folders, beside look-alikes that are not theirs; and the data of
// a Flatpak that is no longer installed.
//
//     make-demo-home FOLDER
//
// FOLDER must not exist or be empty. The result is the same on every run:
// no randomness, fixed contents and fixed modification times. Launch jobs
// and the demo's dpkg file lists name files inside the home by absolute
// path, so they depend on FOLDER. Run Mossbin with the environment of
// tools/common/use-home.sh: HOME=FOLDER, TMPDIR=FOLDER/.tmp, the XDG base
// folders below FOLDER, and the system side of the Linux applications in
// FOLDER/.demo-system (XDG_DATA_DIRS, DPKG_ADMINDIR, FLATPAK_SYSTEM_DIR).

#include "MachOWriter.h"
#include "platform/FileSystem.h"
#include "platform/PropertyList.h"

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QVariantMap>
#include <QtEndian>
#include <cstdio>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;
using moss::plist::Format;

namespace {

// 2024-03-14 10:15:00 UTC: every entry of the demo home carries this time.
constexpr time_t kFixedTime = 1710411300;

struct App {
    QString path; // relative to the home
    QString identifier;
    QString name;
    QString version;
    QString build;
    QString team; // empty: unsigned
    QColor color; // of the icon
};

class DemoHome {
public:
    explicit DemoHome(QString root) : root_(std::move(root)) {}

    QString path(const QString& relative) const { return root_ + u'/' + relative; }

    void folder(const QString& relative) const { moss::fs::makePath(path(relative)); }

    void file(const QString& relative, const QByteArray& contents) const {
        const QString full = path(relative);
        moss::fs::makePath(moss::fs::parentPath(full));
        QFile out(full);
        if (!out.open(QIODevice::WriteOnly) || out.write(contents) != contents.size())
            failed_ = true;
    }

    void executableFile(const QString& relative, const QByteArray& contents) const {
        file(relative, contents);
        if (!QFile::setPermissions(path(relative), QFile::ReadOwner | QFile::WriteOwner |
                                                       QFile::ExeOwner | QFile::ReadGroup |
                                                       QFile::ExeGroup | QFile::ReadOther |
                                                       QFile::ExeOther))
            failed_ = true;
    }

    // A symbolic link at `relative` holding `target` as it is written.
    void link(const QString& target, const QString& relative) const {
        const QString full = path(relative);
        moss::fs::makePath(moss::fs::parentPath(full));
        if (::symlink(moss::fs::encodePath(target).constData(),
                      moss::fs::encodePath(full).constData()) != 0)
            failed_ = true;
    }

    // A desktop entry of an application with the given keys.
    void desktopEntry(const QString& relative, const QByteArray& keys) const {
        file(relative, "[Desktop Entry]\nType=Application\nTerminal=false\n" + keys + "\n");
    }

    // A file of `size` bytes of readable filler.
    void filler(const QString& relative, qsizetype size) const {
        static const QByteArray line = "0123456789abcdefghijklmnopqrstuvwxyz demo data\n";
        QByteArray contents;
        contents.reserve(size);
        while (contents.size() < size)
            contents += line;
        contents.truncate(size);
        file(relative, contents);
    }

    void plist(const QString& relative, const QVariantMap& dict,
               Format format = Format::xml) const {
        file(relative, moss::plist::dataFromDictionary(dict, format));
    }

    // An application bundle with a signed main executable and an icon.
    void application(const App& app, Format infoFormat = Format::xml) const {
        QVariantMap info{{u"CFBundleName"_s, app.name},
                         {u"CFBundleExecutable"_s, app.name},
                         {u"CFBundlePackageType"_s, u"APPL"_s},
                         {u"CFBundleIconFile"_s, app.name + u".icns"_s},
                         {u"LSMinimumSystemVersion"_s, u"14.0"_s}};
        if (!app.identifier.isEmpty())
            info[u"CFBundleIdentifier"_s] = app.identifier;
        if (!app.version.isEmpty())
            info[u"CFBundleShortVersionString"_s] = app.version;
        if (!app.build.isEmpty())
            info[u"CFBundleVersion"_s] = app.build;
        plist(app.path + u"/Contents/Info.plist"_s, info, infoFormat);
        file(app.path + u"/Contents/PkgInfo"_s, "APPL????");
        file(app.path + u"/Contents/MacOS/"_s + app.name, executable(app.identifier, app.team));
        file(app.path + u"/Contents/Resources/"_s + app.name + u".icns"_s, icon(app.color));
        filler(app.path + u"/Contents/Resources/en.lproj/Localizable.strings"_s, 3000);
    }

    // A bundle nested in another one: identifier and executable only.
    void nested(const QString& relative, const QString& identifier, const QString& executableName,
                const QString& team) const {
        plist(relative + u"/Contents/Info.plist"_s, {{u"CFBundleIdentifier"_s, identifier},
                                                     {u"CFBundleExecutable"_s, executableName},
                                                     {u"CFBundleName"_s, executableName}});
        file(relative + u"/Contents/MacOS/"_s + executableName, executable(identifier, team));
    }

    // A folder that an application keeps its state in, with a few files.
    void stateFolder(const QString& relative, qsizetype size) const {
        filler(relative + u"/data.bin"_s, size);
        plist(relative + u"/state.plist"_s, {{u"Version"_s, 3}, {u"Clean"_s, true}});
    }

    void crashReport(const QString& relative) const {
        file(relative, "Process:   demo\nException Type:  EXC_BAD_ACCESS (SIGSEGV)\n"
                       "Crashed Thread:  0\n");
    }

    bool failed() const { return failed_; }

    // A universal (Intel and Arm) executable whose code signature carries
    // the identifier and the team; unsigned when the team is empty.
    static QByteArray executable(const QString& identifier, const QString& team);
    static QByteArray png(const QColor& color);

private:
    static QByteArray icon(const QColor& color);

    QString root_;
    mutable bool failed_ = false;
};

QByteArray DemoHome::executable(const QString& identifier, const QString& team) {
    moss::tools::MachOSlice arm;
    arm.sign = !team.isEmpty();
    arm.codeDirectory.identifier = identifier.toUtf8();
    arm.codeDirectory.teamIdentifier = team.toUtf8();
    moss::tools::MachOSlice intel = arm;
    intel.cpuType = moss::tools::kCpuTypeX86_64;
    return moss::tools::universalMachO({intel, arm});
}

// A 128 x 128 PNG image: a rounded tile in the application's colour.
QByteArray DemoHome::png(const QColor& color) {
    QImage image(128, 128, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawRoundedRect(QRectF(8, 8, 112, 112), 26, 26);
        painter.setBrush(color.lighter(150));
        painter.drawEllipse(QRectF(40, 40, 48, 48));
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// An .icns file holding the PNG image of png().
QByteArray DemoHome::icon(const QColor& color) {
    const QByteArray png = DemoHome::png(color);
    const auto bigEndian = [](quint32 value) {
        QByteArray bytes(4, '\0');
        qToBigEndian(value, bytes.data());
        return bytes;
    };
    const QByteArray entry = "ic07" + bigEndian(quint32(8 + png.size())) + png;
    return "icns" + bigEndian(quint32(8 + entry.size())) + entry;
}

// ------------------------------------------------------------------ contents

const App kQuillstone{u"Applications/Quillstone.app"_s,
                      u"com.fernleaf.Quillstone"_s,
                      u"Quillstone"_s,
                      u"3.2.1"_s,
                      u"3210"_s,
                      u"FERN7LEAF2"_s,
                      QColor(0x3d, 0x8b, 0x5a)};
const App kQuillstoneSync{u"Applications/Quillstone Sync.app"_s,
                          u"com.fernleaf.Quillstone.Sync"_s,
                          u"Quillstone Sync"_s,
                          u"1.4"_s,
                          u"140"_s,
                          u"FERN7LEAF2"_s,
                          QColor(0x2f, 0x6f, 0xa8)};
const App kTidepool{u"Applications/Tidepool.app"_s,
                    u"io.tidepool.Tidepool"_s,
                    u"Tidepool"_s,
                    u"1.8.0"_s,
                    u"1800"_s,
                    u"TD4P0OL9XZ"_s,
                    QColor(0x1f, 0x9e, 0xb0)};
const App kPebbleTimer{u"Applications/Pebble Timer.app"_s,
                       {},
                       u"Pebble Timer"_s,
                       {},
                       {},
                       {},
                       QColor(0xb0, 0x6a, 0x2f)};

// A main application with every kind of nested bundle, and its leftovers in
// nearly every category; a companion application that claims some of them.
void addQuillstone(const DemoHome& home) {
    const App& app = kQuillstone;
    home.application(app);
    const QString contents = app.path + u"/Contents/"_s;
    home.nested(contents + u"Library/LoginItems/Quillstone Helper.app"_s,
                u"com.fernleaf.Quillstone.LaunchHelper"_s, u"Quillstone Helper"_s, app.team);
    home.nested(contents + u"XPCServices/QuillstoneRenderer.xpc"_s,
                u"com.fernleaf.Quillstone.Renderer"_s, u"QuillstoneRenderer"_s, app.team);
    home.nested(contents + u"PlugIns/QuillstoneShare.appex"_s,
                u"com.fernleaf.Quillstone.ShareExtension"_s, u"QuillstoneShare"_s, app.team);
    // The bundled updater's services belong to every application that ships
    // it: they are not this application's identifiers.
    home.nested(contents + u"XPCServices/Installer.xpc"_s,
                u"org.sparkle-project.InstallerLauncher"_s, u"Installer"_s, app.team);
    home.nested(contents + u"Frameworks/Updater.framework/Versions/B/Updater.app"_s,
                u"org.sparkle-project.Updater"_s, u"Updater"_s, app.team);
    home.file(contents + u"Library/LaunchServices/com.fernleaf.Quillstone.PrivilegedTool"_s,
              DemoHome::executable(u"com.fernleaf.Quillstone.PrivilegedTool"_s, app.team));

    home.stateFolder(u"Library/Application Support/Quillstone"_s, 180'000);
    home.stateFolder(u"Library/Application Support/com.fernleaf.Quillstone"_s, 12'000);
    // Shares only the name, and "Notes" is not the application's own word.
    home.filler(u"Library/Application Support/Quillstone Notes/notes.md"_s, 4'000);
    home.file(u"Library/Application Support/CrashReporter/"
              "Quillstone_0F3A9B7C-51D2-4E8A-9C1B-7D2E4F6A8B90.plist"_s,
              moss::plist::dataFromDictionary({{u"Count"_s, 2}}, Format::binary));
    home.stateFolder(u"Library/Containers/com.fernleaf.Quillstone.ShareExtension/Data"_s, 6'000);
    home.filler(u"Library/Application Scripts/com.fernleaf.Quillstone.ShareExtension/Clip.scpt"_s,
                900);
    home.stateFolder(u"Library/Group Containers/FERN7LEAF2.com.fernleaf.Quillstone"_s, 40'000);
    home.stateFolder(u"Library/Group Containers/group.com.fernleaf.Quillstone.shared"_s, 2'000);
    home.plist(u"Library/Preferences/com.fernleaf.Quillstone.plist"_s,
               {{u"NSWindow Frame Main"_s, u"120 200 1200 800 0 0 1512 944"_s},
                {u"SUEnableAutomaticChecks"_s, true},
                {u"RecentDocuments"_s, QVariantList{u"~/Documents/Field Notes.qst"_s}}});
    home.plist(u"Library/Preferences/com.fernleaf.Quillstone.LaunchHelper.plist"_s,
               {{u"LaunchAtLogin"_s, true}}, Format::binary);
    home.plist(u"Library/Preferences/ByHost/"
               "com.fernleaf.Quillstone.6F1C2B3A-8D4E-4F5A-9B6C-7D8E9F0A1B2C.plist"_s,
               {{u"DisplayScale"_s, 2}}, Format::binary);
    home.stateFolder(u"Library/Caches/com.fernleaf.Quillstone"_s, 2'400'000);
    home.stateFolder(u"Library/Caches/Quillstone"_s, 300'000);
    home.filler(u"Library/Logs/Quillstone/quillstone.log"_s, 64'000);
    home.crashReport(
        u"Library/Logs/DiagnosticReports/Quillstone_2024-03-01-141516_demo-mac.crash"_s);
    home.crashReport(
        u"Library/Logs/DiagnosticReports/Quillstone Helper_2024-03-09-080102_demo-mac.ips"_s);
    home.stateFolder(u"Library/Saved Application State/com.fernleaf.Quillstone.savedState"_s,
                     24'000);
    home.stateFolder(u"Library/HTTPStorages/com.fernleaf.Quillstone"_s, 8'000);
    home.filler(u"Library/HTTPStorages/com.fernleaf.Quillstone.binarycookies"_s, 600);
    home.stateFolder(u"Library/WebKit/com.fernleaf.Quillstone/WebsiteData"_s, 90'000);
    home.filler(u"Library/Cookies/com.fernleaf.Quillstone.binarycookies"_s, 1'200);
    home.folder(u"Library/Spotlight/com.fernleaf.Quillstone.mdimporter/Contents"_s);
    home.filler(u".tmp/com.fernleaf.Quillstone/export-3.tmp"_s, 5'000);
    home.filler(u".cache/com.fernleaf.Quillstone.ShareExtension/thumbnails.db"_s, 7'000);
    home.filler(u"Downloads/Quillstone-3.2.1.dmg"_s, 150'000);
    home.filler(u"Downloads/Quillstone Notes.zip"_s, 20'000);

    // Launch jobs: one named after the login item, one that only points
    // into the bundle.
    const QString bundle = home.path(app.path);
    home.plist(u"Library/LaunchAgents/com.fernleaf.Quillstone.LaunchHelper.plist"_s,
               {{u"Label"_s, u"com.fernleaf.Quillstone.LaunchHelper"_s},
                {u"ProgramArguments"_s,
                 QVariantList{bundle + u"/Contents/Library/LoginItems/Quillstone Helper.app/"
                                       "Contents/MacOS/Quillstone Helper"_s}},
                {u"RunAtLoad"_s, true}});
    home.plist(
        u"Library/LaunchAgents/net.fernleaf.cloudsync.plist"_s,
        {{u"Label"_s, u"net.fernleaf.cloudsync"_s},
         {u"ProgramArguments"_s, QVariantList{bundle + u"/Contents/Library/LaunchServices/"
                                                       "com.fernleaf.Quillstone.PrivilegedTool"_s,
                                              u"--sync"_s}},
         {u"StartInterval"_s, 3600}},
        Format::binary);

    // The companion: its own preferences carry a longer identifier, so they
    // are not the main application's.
    home.application(kQuillstoneSync);
    home.plist(u"Library/Preferences/com.fernleaf.Quillstone.Sync.plist"_s,
               {{u"LastSync"_s, u"2024-03-14T09:00:00Z"_s}});
    home.stateFolder(u"Library/Application Support/Quillstone Sync"_s, 16'000);
    home.filler(u"Downloads/Quillstone Sync 1.4.pkg"_s, 60'000);
}

// A web-engine desktop application, its Info property list in binary form.
void addTidepool(const DemoHome& home) {
    const App& app = kTidepool;
    home.application(app, Format::binary);
    const QString contents = app.path + u"/Contents/"_s;
    home.nested(contents + u"Library/LoginItems/Tidepool Launcher.app"_s,
                u"io.tidepool.Tidepool.launcher"_s, u"Tidepool Launcher"_s, app.team);
    home.nested(contents + u"Helpers/Tidepool Helper (GPU).app"_s,
                u"io.tidepool.Tidepool.helper.GPU"_s, u"Tidepool Helper (GPU)"_s, app.team);
    home.nested(contents + u"Helpers/Tidepool Helper (Renderer).app"_s,
                u"io.tidepool.Tidepool.helper.Renderer"_s, u"Tidepool Helper (Renderer)"_s,
                app.team);

    home.stateFolder(u"Library/Application Support/Tidepool/Local Storage"_s, 420'000);
    home.stateFolder(u"Library/Application Support/Tidepool/GPUCache"_s, 96'000);
    home.plist(u"Library/Preferences/io.tidepool.Tidepool.plist"_s,
               {{u"NSFullScreenMenuItemEverywhere"_s, false}, {u"theme"_s, u"dark"_s}},
               Format::binary);
    home.plist(u"Library/Preferences/ByHost/"
               "io.tidepool.Tidepool.6F1C2B3A-8D4E-4F5A-9B6C-7D8E9F0A1B2C.plist"_s,
               {{u"zoom"_s, 1.25}});
    home.stateFolder(u"Library/Caches/io.tidepool.Tidepool"_s, 1'100'000);
    home.stateFolder(u"Library/Caches/io.tidepool.Tidepool.ShipIt"_s, 30'000);
    home.filler(u"Library/Logs/Tidepool/main.log"_s, 22'000);
    home.crashReport(
        u"Library/Logs/DiagnosticReports/Tidepool Helper (GPU)_2024-02-20-083000_demo-mac.ips"_s);
    home.stateFolder(u"Library/Saved Application State/io.tidepool.Tidepool.savedState"_s, 10'000);
    home.stateFolder(u"Library/HTTPStorages/io.tidepool.Tidepool"_s, 4'000);
    home.stateFolder(u"Library/WebKit/io.tidepool.Tidepool"_s, 50'000);
    home.plist(u"Library/LaunchAgents/io.tidepool.Tidepool.launcher.plist"_s,
               {{u"Label"_s, u"io.tidepool.Tidepool.launcher"_s},
                {u"Program"_s, home.path(contents + u"Library/LoginItems/Tidepool Launcher.app/"
                                                    "Contents/MacOS/Tidepool Launcher"_s)}});
    home.plist(u"Library/QuickLook/Tidepool Preview.qlgenerator/Contents/Info.plist"_s,
               {{u"CFBundleIdentifier"_s, u"io.tidepool.Tidepool.QuickLook"_s},
                {u"CFBundleName"_s, u"Tidepool Preview"_s}});
    home.filler(u".tmp/io.tidepool.Tidepool/update.tmp"_s, 3'000);
    home.filler(u"Downloads/Tidepool-1.8.0-arm64.dmg"_s, 210'000);
}

// An unsigned application without identifier or version: found by name only.
void addPebbleTimer(const DemoHome& home) {
    home.application(kPebbleTimer);
    home.stateFolder(u"Library/Application Support/Pebble Timer"_s, 3'000);
    home.plist(u"Library/Preferences/Pebble Timer.plist"_s, {{u"Minutes"_s, 25}});
    home.filler(u"Library/Logs/Pebble Timer.log"_s, 2'000);
}

// A preference pane and a widget, with their leftovers.
void addPlugins(const DemoHome& home) {
    const QString pane = u"Library/PreferencePanes/Lanternfly.prefPane"_s;
    home.plist(pane + u"/Contents/Info.plist"_s,
               {{u"CFBundleIdentifier"_s, u"com.lanternfly.LanternflyPane"_s},
                {u"CFBundleName"_s, u"Lanternfly"_s},
                {u"CFBundleExecutable"_s, u"Lanternfly"_s},
                {u"CFBundleShortVersionString"_s, u"2.0.3"_s}});
    home.file(pane + u"/Contents/MacOS/Lanternfly"_s,
              DemoHome::executable(u"com.lanternfly.LanternflyPane"_s, u"LNTRNF1Y07"_s));
    home.plist(u"Library/Preferences/com.lanternfly.LanternflyPane.plist"_s,
               {{u"Brightness"_s, 0.8}}, Format::binary);
    home.stateFolder(u"Library/Caches/com.lanternfly.LanternflyPane"_s, 14'000);
    home.stateFolder(u"Library/Application Support/Lanternfly"_s, 5'000);

    // Widgets keep their Info property list at the bundle's root.
    const QString widget = u"Library/Widgets/Moon Phase.wdgt"_s;
    home.plist(widget + u"/Info.plist"_s,
               {{u"CFBundleIdentifier"_s, u"org.moonphase.widget.MoonPhase"_s},
                {u"CFBundleName"_s, u"Moon Phase"_s},
                {u"CFBundleDisplayName"_s, u"Moon Phase"_s},
                {u"CFBundleShortVersionString"_s, u"1.1"_s},
                {u"MainHTML"_s, u"MoonPhase.html"_s}});
    home.file(widget + u"/MoonPhase.html"_s, "<html><body>🌔</body></html>\n");
    home.plist(u"Library/Preferences/org.moonphase.widget.MoonPhase.plist"_s,
               {{u"Hemisphere"_s, u"north"_s}});
    home.stateFolder(u"Library/Caches/org.moonphase.widget.MoonPhase"_s, 2'000);
}

// What every home holds besides: items of other programs that no demo
// bundle may claim.
void addUnrelated(const DemoHome& home) {
    home.plist(u"Library/Preferences/org.inkwell.Editor.plist"_s, {{u"FontSize"_s, 13}});
    home.plist(u"Library/Preferences/com.apple.dock.plist"_s, {{u"autohide"_s, true}});
    home.stateFolder(u"Library/Application Support/Inkwell"_s, 9'000);
    home.stateFolder(u"Library/Caches/org.inkwell.Editor"_s, 40'000);
    home.folder(u"Library/Application Support/CrashReporter"_s);
    home.filler(u"Documents/Field Notes.qst"_s, 11'000);
    home.filler(u"Downloads/Quarterly Report.pdf"_s, 80'000);
    home.folder(u"Desktop"_s);
    home.folder(u".local/share"_s);
}

// ------------------------------------------------------- Linux applications

// Where the system side of the Linux applications lives: the data folders,
// the system Flatpak installation, snapd's exports and dpkg's database.
const QString kSystem = u".demo-system"_s;

QString system(const QString& relative) {
    return kSystem + u'/' + relative;
}

// A desktop entry in the user's own applications folder, and what its
// program keeps in every XDG folder: the user's own entry is removed with it.
void addDriftwood(const DemoHome& home) {
    home.desktopEntry(u".local/share/applications/net.driftwood.Reader.desktop"_s,
                      "Name=Driftwood Reader\nName[ru]=Плавник\nExec=driftwood %U\n"
                      "Icon=net.driftwood.Reader\nStartupWMClass=driftwood\n"
                      "Categories=Office;Viewer;\nMimeType=application/epub+zip;");
    home.file(u".local/share/icons/hicolor/128x128/apps/net.driftwood.Reader.png"_s,
              DemoHome::png(QColor(0x8a, 0x6a, 0x3f)));
    home.file(u".local/share/mime/packages/net.driftwood.Reader.xml"_s,
              "<?xml version=\"1.0\"?>\n<mime-info "
              "xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\"/>\n");
    home.file(u".config/driftwood/settings.ini"_s, "[General]\ntheme=sepia\nfontSize=14\n");
    home.stateFolder(u".local/share/net.driftwood.Reader"_s, 140'000);
    home.stateFolder(u".cache/driftwood"_s, 260'000);
    home.filler(u".local/state/driftwood/history.log"_s, 3'000);
    // Runs the program at login: its own, though named otherwise.
    home.desktopEntry(u".config/autostart/reader-tray.desktop"_s,
                      "Name=Reader tray\nExec=driftwood --tray\nX-GNOME-Autostart-enabled=true");
    home.filler(u"Downloads/driftwood_2.3.0_amd64.deb"_s, 90'000);
    // Only shares the beginning of the name.
    home.file(u".config/driftwoods/notes.txt"_s, "not the reader's\n");
}

// A Flatpak of the user's installation: its app folder and the links it
// exported go with its data in ~/.var/app.
void addPalette(const DemoHome& home) {
    const QString id = u"org.lumen.Palette"_s;
    const QString app = u".local/share/flatpak/app/"_s + id + u'/';
    const QString deploy = app + u"x86_64/stable/4f2a9c/"_s;
    home.desktopEntry(deploy + u"export/share/applications/"_s + id + u".desktop"_s,
                      "Name=Lumen Palette\nName[ru]=Палитра Люмен\n"
                      "Exec=/usr/bin/flatpak run --branch=stable --arch=x86_64 "
                      "--command=palette org.lumen.Palette @@u %U @@\n"
                      "Icon=org.lumen.Palette\nX-Flatpak=org.lumen.Palette");
    home.file(deploy + u"export/share/icons/hicolor/128x128/apps/"_s + id + u".png"_s,
              DemoHome::png(QColor(0xc0, 0x4a, 0x8c)));
    home.file(deploy + u"files/share/metainfo/"_s + id + u".metainfo.xml"_s,
              "<component type=\"desktop-application\"><id>org.lumen.Palette</id><releases>"
              "<release version=\"5.1.2\" date=\"2024-02-01\"/></releases></component>\n");
    home.filler(deploy + u"files/bin/palette"_s, 120'000);
    home.link(u"x86_64/stable"_s, app + u"current"_s);
    home.link(u"4f2a9c"_s, app + u"x86_64/stable/active"_s);
    const QString exports = u".local/share/flatpak/exports/share/"_s;
    home.link(u"../../../app/org.lumen.Palette/current/active/export/share/applications/"
              "org.lumen.Palette.desktop"_s,
              exports + u"applications/org.lumen.Palette.desktop"_s);
    home.link(u"../../../../../../app/org.lumen.Palette/current/active/export/share/icons/"
              "hicolor/128x128/apps/org.lumen.Palette.png"_s,
              exports + u"icons/hicolor/128x128/apps/org.lumen.Palette.png"_s);
    home.stateFolder(u".var/app/org.lumen.Palette/config"_s, 4'000);
    home.stateFolder(u".var/app/org.lumen.Palette/data/brushes"_s, 70'000);
    home.stateFolder(u".var/app/org.lumen.Palette/cache"_s, 30'000);
    // Another application whose identifier merely begins the same.
    home.stateFolder(u".var/app/org.lumen.PaletteKnife"_s, 2'000);
}

// A Flatpak of the system installation: its entry stays with the system,
// its data in ~/.var/app goes.
void addTally(const DemoHome& home) {
    const QString id = u"io.github.tally.Counter"_s;
    home.desktopEntry(system(u"flatpak/app/"_s + id +
                             u"/current/active/export/share/applications/"_s + id + u".desktop"_s),
                      "Name=Tally\nExec=/usr/bin/flatpak run io.github.tally.Counter\n"
                      "Icon=io.github.tally.Counter\nX-Flatpak=io.github.tally.Counter");
    home.link(u"../../../app/io.github.tally.Counter/current/active/export/share/applications/"
              "io.github.tally.Counter.desktop"_s,
              system(u"flatpak/exports/share/applications/"_s + id + u".desktop"_s));
    home.stateFolder(u".var/app/io.github.tally.Counter/data"_s, 6'000);
}

// What a Flatpak uninstalled long ago left in ~/.var/app: neither
// installation holds it any more.
void addRemovedFlatpak(const DemoHome& home) {
    home.file(u".var/app/net.inkwell.Journal/config/journal/settings.ini"_s,
              "[Editor]\nspellcheck=true\n");
    home.stateFolder(u".var/app/net.inkwell.Journal/data/journal"_s, 48'000);
    home.stateFolder(u".var/app/net.inkwell.Journal/cache/thumbnails"_s, 15'000);
}

// A Snap: its entry belongs to snapd, its folder in ~/snap goes.
void addKestrel(const DemoHome& home) {
    home.desktopEntry(system(u"snapd/desktop/applications/kestrel_kestrel.desktop"_s),
                      "Name=Kestrel\nX-SnapInstanceName=kestrel\n"
                      "Exec=env BAMF_DESKTOP_FILE_HINT=/var/lib/snapd/desktop/applications/"
                      "kestrel_kestrel.desktop /snap/bin/kestrel %U\n"
                      "Icon=/snap/kestrel/42/meta/gui/kestrel.png");
    home.stateFolder(u"snap/kestrel/42/.config/kestrel"_s, 5'000);
    home.stateFolder(u"snap/kestrel/common"_s, 9'000);
    home.link(u"42"_s, u"snap/kestrel/current"_s);
    // Another Snap whose name begins the same.
    home.stateFolder(u"snap/kestrel-lite/common"_s, 1'000);
}

// An AppImage in ~/Applications: the file goes with what its program left.
void addCartographer(const DemoHome& home) {
    QByteArray image("\x7F"
                     "ELF\x02\x01\x01\x00"
                     "AI\x02",
                     11);
    image += QByteArray(4096 - image.size(), '\0');
    home.executableFile(u"Applications/Cartographer-1.4.2-x86_64.AppImage"_s, image);
    home.stateFolder(u".config/Cartographer/Local Storage"_s, 50'000);
    home.file(u".config/Cartographer/config.json"_s, "{\"zoom\": 3}\n");
    home.stateFolder(u".cache/cartographer-updater"_s, 20'000);
    home.filler(u"Downloads/Cartographer-1.4.1-x86_64.AppImage"_s, 40'000);
}

// A Debian package's entry, owned through the demo's dpkg database: the
// package stays for the package manager; its user service and timer, its
// browser bridge and its files go.
void addBasalt(const DemoHome& home) {
    const QString entry = system(u"usr/share/applications/basalt.desktop"_s);
    home.desktopEntry(entry, "Name=Basalt\nName[ru]=Базальт\nGenericName=Text Editor\n"
                             "Exec=basalt %F\nIcon=basalt\nMimeType=text/plain;");
    home.file(system(u"usr/share/icons/hicolor/scalable/apps/basalt.svg"_s),
              "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 16 16\">"
              "<rect width=\"16\" height=\"16\" rx=\"3\" fill=\"#4a5560\"/></svg>\n");
    home.file(system(u"dpkg/info/basalt.list"_s),
              "/.\n/usr\n/usr/bin/basalt\n" + moss::fs::encodePath(home.path(entry)) + "\n");
    home.file(system(u"dpkg/status"_s), "Package: basalt\nStatus: install ok installed\n"
                                        "Architecture: amd64\nVersion: 0.9.4-2\n"
                                        "Description: text editor\n");
    home.stateFolder(u".config/basalt"_s, 3'000);
    home.stateFolder(u".local/share/basalt/sessions"_s, 12'000);
    home.stateFolder(u".cache/basalt"_s, 80'000);
    home.filler(u".basalt_history"_s, 1'500);
    home.file(u".config/systemd/user/basalt-index.service"_s,
              "[Unit]\nDescription=Index notes\n\n[Service]\nType=oneshot\n"
              "ExecStart=/usr/bin/basalt --index %h/Documents\n");
    home.file(u".config/systemd/user/basalt-index.timer"_s,
              "[Timer]\nOnCalendar=hourly\n\n[Install]\nWantedBy=timers.target\n");
    home.file(u".config/chromium/NativeMessagingHosts/org.basalt.bridge.json"_s,
              "{\"name\": \"org.basalt.bridge\", \"path\": \"/usr/bin/basalt\", "
              "\"type\": \"stdio\"}\n");
    home.filler(u"Downloads/basalt_0.9.4-2_amd64.deb"_s, 60'000);
    // The user's own companion, which shares the name: its files are its.
    home.desktopEntry(u".local/share/applications/basalt-sync.desktop"_s,
                      "Name=Basalt Sync\nExec=basalt-sync\nIcon=basalt");
    home.stateFolder(u".config/basalt-sync"_s, 2'000);
    // Only begins like the name.
    home.stateFolder(u".config/basaltic"_s, 1'000);
}

// An entry that a package manager knows nothing of, in /usr/local.
void addOrrery(const DemoHome& home) {
    home.desktopEntry(system(u"usr/local/share/applications/orrery.desktop"_s),
                      "Name=Orrery\nExec=/opt/orrery/orrery\nIcon=orrery");
    home.stateFolder(u".orrery"_s, 7'000);
}

void addLinuxApplications(const DemoHome& home) {
    addDriftwood(home);
    addPalette(home);
    addTally(home);
    addRemovedFlatpak(home);
    addKestrel(home);
    addCartographer(home);
    addBasalt(home);
    addOrrery(home);
    // What every Linux home holds and no application may claim.
    home.file(u".config/user-dirs.dirs"_s, "XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n"
                                           "XDG_DOCUMENTS_DIR=\"$HOME/Documents\"\n");
    home.file(u".config/mimeapps.list"_s, "[Default Applications]\ntext/plain=basalt.desktop\n");
    home.file(u".bashrc"_s, "export EDITOR=basalt\n");
}

int stampFixedTime(const char* path, const struct stat*, int, FTW*) {
    const struct timespec times[2] = {{kFixedTime, 0}, {kFixedTime, 0}};
    ::utimensat(AT_FDCWD, path, times, AT_SYMLINK_NOFOLLOW);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: make-demo-home FOLDER\n", stderr);
        return 2;
    }
    const QString root = moss::fs::standardized(moss::fs::decodePath(argv[1]));
    if (!moss::fs::listDirectory(root).value_or(QStringList{}).isEmpty()) {
        std::fprintf(stderr, "make-demo-home: %s is not empty\n", argv[1]);
        return 1;
    }
    moss::fs::makePath(root);
    const DemoHome home(moss::fs::resolvingSymlinks(root));
    addQuillstone(home);
    addTidepool(home);
    addPebbleTimer(home);
    addPlugins(home);
    addUnrelated(home);
    addLinuxApplications(home);
    ::nftw(moss::fs::encodePath(root).constData(), stampFixedTime, 64, FTW_PHYS | FTW_DEPTH);
    if (home.failed()) {
        std::fprintf(stderr, "make-demo-home: could not write every file below %s\n", argv[1]);
        return 1;
    }
    return 0;
}
