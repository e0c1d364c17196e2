// Lays out a macOS-style home folder for demonstrations: applications with
// nested helpers, a preference pane and a widget, and what they leave behind
// in the Library folders, in Downloads and in the temporary folders.
//
//     make-demo-home FOLDER
//
// FOLDER must not exist or be empty. The result is the same on every run:
// no randomness, fixed contents and fixed modification times. Launch jobs
// name programs inside the home by absolute path, so they depend on FOLDER.
// Run Mossbin with HOME=FOLDER, TMPDIR=FOLDER/.tmp, XDG_CACHE_HOME=FOLDER/.cache
// and XDG_DATA_HOME=FOLDER/.local/share.

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

// An .icns file holding one 128 x 128 PNG image: a rounded tile in the
// application's colour.
QByteArray DemoHome::icon(const QColor& color) {
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
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");

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
    ::nftw(moss::fs::encodePath(root).constData(), stampFixedTime, 64, FTW_PHYS | FTW_DEPTH);
    if (home.failed()) {
        std::fprintf(stderr, "make-demo-home: could not write every file below %s\n", argv[1]);
        return 1;
    }
    return 0;
}
