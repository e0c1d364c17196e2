// Writes a large, reproducible macOS-style home for the benchmarks, and a
// small one for timing a whole --scan run.
//
//     make-bench-home OUT [--seed N]
//
// OUT/large: home/Applications with 500 applications (helpers nested inside),
//            home/Library with about 50 000 entries across the searched
//            locations (leftovers of installed and of long-removed
//            applications, system noise), about 200 000 files inside the
//            leftover folders, a system root and a temporary folder;
//            names.txt lists every name directly inside the searched folders.
// OUT/small: the same layout with 12 applications and a few hundred entries.
//
// The target of the leftover benchmarks is "Northwind Studio.app"
// (com.northwind.studio), whose own folders hold about 20 000 files.

#include "platform/PropertyList.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

using moss::plist::dataFromDictionary;
using moss::plist::Format;

// The shape of one generated home.
struct Shape {
    int installed = 500;
    int removed = 6000;         // applications whose leftovers stayed behind
    int noise = 4000;           // system entries nobody claims
    int leftoverFiles = 180000; // spread over the leftover folders of others
    int targetFiles = 20000;    // inside the target application's folders
};

struct App {
    QString name;       // "Northwind Studio"
    QString identifier; // "com.northwind.studio"
    QString team;       // ten upper-case letters and digits
};

const QString targetName = QStringLiteral("Northwind Studio");
const QString targetIdentifier = QStringLiteral("com.northwind.studio");

class Writer {
public:
    explicit Writer(std::mt19937& random) : random_(random) {}

    void folder(const QString& path) {
        if (!QDir().mkpath(path))
            fail(path);
    }

    void file(const QString& path, const QByteArray& data) {
        const QByteArray encoded = QFile::encodeName(path);
        const int fd = ::open(encoded.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0 || ::write(fd, data.constData(), size_t(data.size())) != data.size())
            fail(path);
        ::close(fd);
        ++files_;
    }

    // A file of random length (a third of them empty), like a cache entry.
    void filler(const QString& path) {
        const int length = pick(3) == 0 ? 0 : pick(4000);
        file(path, QByteArray(length, 'x'));
    }

    void plist(const QString& path, const QVariantMap& dict) {
        file(path, dataFromDictionary(dict, Format::xml));
    }

    int pick(int bound) { return int(std::uniform_int_distribution<int>(0, bound - 1)(random_)); }
    qint64 files() const { return files_; }

private:
    [[noreturn]] static void fail(const QString& path) {
        std::fprintf(stderr, "make-bench-home: cannot write %s\n", qPrintable(path));
        std::exit(1);
    }

    std::mt19937& random_;
    qint64 files_ = 0;
};

const QStringList syllables = {
    u"al"_s,  u"bor"_s, u"cen"_s, u"dra"_s, u"el"_s,  u"fin"_s, u"gar"_s, u"hol"_s,
    u"im"_s,  u"jet"_s, u"kor"_s, u"lum"_s, u"mar"_s, u"nov"_s, u"or"_s,  u"pix"_s,
    u"quo"_s, u"ras"_s, u"sol"_s, u"tur"_s, u"ul"_s,  u"ven"_s, u"wyn"_s, u"zen"_s,
};

QString word(Writer& writer, int syllableCount) {
    QString text;
    for (int i = 0; i < syllableCount; ++i)
        text += syllables.at(writer.pick(int(syllables.size())));
    text[0] = text[0].toUpper();
    return text;
}

QString teamIdentifier(Writer& writer) {
    static const QString alphabet = QStringLiteral("ABCDEFGHJKLMNPQRSTUVWXYZ0123456789");
    QString team;
    for (int i = 0; i < 10; ++i)
        team += alphabet.at(writer.pick(int(alphabet.size())));
    return team;
}

// Distinct applications: the target first, then invented vendor/product pairs.
QList<App> inventApps(Writer& writer, int count) {
    QList<App> apps{{targetName, targetIdentifier, QStringLiteral("NWSTUDIO01")}};
    QSet<QString> taken{targetIdentifier};
    while (apps.size() < count) {
        const QString vendor = word(writer, 2);
        const QString product = word(writer, 2 + writer.pick(2));
        const QString identifier = u"com."_s + vendor.toLower() + u'.' + product.toLower();
        if (taken.contains(identifier))
            continue;
        taken.insert(identifier);
        apps.append({vendor + u' ' + product, identifier, teamIdentifier(writer)});
    }
    return apps;
}

QVariantMap infoDictionary(const App& app, const QString& executable) {
    return {{u"CFBundleIdentifier"_s, app.identifier},
            {u"CFBundleName"_s, app.name},
            {u"CFBundleExecutable"_s, executable},
            {u"CFBundleShortVersionString"_s, u"1.0"_s}};
}

void writeBundle(Writer& writer, const QString& path, const App& app) {
    const QString contents = path + u"/Contents"_s;
    writer.folder(contents + u"/MacOS"_s);
    writer.folder(contents + u"/Resources"_s);
    const QString executable = app.name.section(u' ', -1);
    writer.plist(contents + u"/Info.plist"_s, infoDictionary(app, executable));
    writer.file(contents + u"/MacOS/"_s + executable, QByteArray(4096, '\xcf'));
    writer.file(contents + u"/Resources/AppIcon.icns"_s, QByteArray(2048, 'i'));
}

// An application with a login helper and an XPC service inside it.
void writeApplication(Writer& writer, const QString& applications, const App& app) {
    const QString path = applications + u'/' + app.name + u".app"_s;
    writeBundle(writer, path, app);
    const App helper{app.name + u" Helper"_s, app.identifier + u".helper"_s, app.team};
    writeBundle(writer, path + u"/Contents/Library/LoginItems/"_s + helper.name + u".app"_s,
                helper);
    const App service{app.name + u" Agent"_s, app.identifier + u".agent"_s, app.team};
    writeBundle(writer, path + u"/Contents/XPCServices/"_s + service.name + u".xpc"_s, service);
}

class HomeBuilder {
public:
    HomeBuilder(Writer& writer, const QString& root) : writer_(writer), root_(root) {}

    QString home() const { return root_ + u"/home"_s; }
    QString library() const { return home() + u"/Library"_s; }

    // Registers a name directly inside a searched folder.
    QString entry(const QString& location, const QString& name) {
        const QString folder = library() + u'/' + location;
        if (!madeFolders_.contains(folder)) {
            writer_.folder(folder);
            madeFolders_.insert(folder);
        }
        names_.append(name);
        return folder + u'/' + name;
    }

    QString folderEntry(const QString& location, const QString& name) {
        const QString path = entry(location, name);
        writer_.folder(path);
        return path;
    }

    // The usual traces of one application; folders are returned so that
    // they can be filled.
    QStringList traces(const App& app, bool everything) {
        QStringList folders;
        const QString id = app.identifier;
        writer_.plist(entry(u"Preferences"_s, id + u".plist"_s),
                      {{u"LastRun"_s, u"2024-05-01"_s}, {u"WindowFrame"_s, u"0 0 800 600"_s}});
        folders << folderEntry(u"Application Support"_s, app.name);
        folders << folderEntry(u"Caches"_s, id);
        if (everything || writer_.pick(2) == 0)
            folders << folderEntry(u"Containers"_s, id);
        if (everything || writer_.pick(3) == 0)
            folders << folderEntry(u"Group Containers"_s, app.team + u'.' + id);
        if (everything || writer_.pick(2) == 0)
            folderEntry(u"Saved Application State"_s, id + u".savedState"_s);
        if (everything || writer_.pick(3) == 0)
            folderEntry(u"HTTPStorages"_s, id);
        if (everything || writer_.pick(4) == 0)
            folderEntry(u"WebKit"_s, id);
        if (everything || writer_.pick(2) == 0)
            folders << folderEntry(u"Logs"_s, app.name);
        if (everything || writer_.pick(3) == 0)
            writeLaunchAgent(app);
        const int reports = everything ? 3 : writer_.pick(3);
        for (int i = 0; i < reports; ++i)
            crashReport(app, i);
        return folders;
    }

    void writeLaunchAgent(const App& app) {
        const QString label = app.identifier + u".updater"_s;
        writer_.plist(entry(u"LaunchAgents"_s, label + u".plist"_s),
                      {{u"Label"_s, label},
                       {u"ProgramArguments"_s, QVariantList{u"/Applications/"_s + app.name +
                                                            u".app/Contents/MacOS/Updater"_s}},
                       {u"RunAtLoad"_s, true}});
    }

    void crashReport(const App& app, int index) {
        const QString stamp = QStringLiteral("_2024-%1-%2-1%3%4%5_host.crash")
                                  .arg(1 + writer_.pick(12), 2, 10, QChar(u'0'))
                                  .arg(1 + writer_.pick(28), 2, 10, QChar(u'0'))
                                  .arg(writer_.pick(10))
                                  .arg(writer_.pick(60), 2, 10, QChar(u'0'))
                                  .arg(index, 2, 10, QChar(u'0'));
        const QString executable = app.name.section(u' ', -1);
        writer_.file(entry(u"Logs/DiagnosticReports"_s, executable + stamp), QByteArray(1500, 'c'));
    }

    // Entries of the system itself: claimed by no application here.
    void systemNoise(int count) {
        static const QStringList locations = {u"Preferences"_s, u"Caches"_s,
                                              u"Application Support"_s, u"Containers"_s};
        for (int i = 0; i < count; ++i) {
            const QString name =
                QStringLiteral("com.apple.%1.%2").arg(word(writer_, 2).toLower()).arg(i);
            const QString& location = locations.at(i % locations.size());
            if (location == u"Preferences")
                writer_.plist(entry(location, name + u".plist"_s), {{u"Enabled"_s, true}});
            else
                folderEntry(location, name);
        }
    }

    // Spreads `count` files over the folders, in nested sub-folders of 50.
    void fill(const QStringList& folders, int count) {
        if (folders.isEmpty())
            return;
        for (int i = 0; i < count; ++i) {
            const QString& folder = folders.at(i % folders.size());
            const int slot = i / int(folders.size());
            const QString sub = QStringLiteral("%1/data/%2").arg(folder).arg(slot / 50);
            if (slot % 50 == 0)
                writer_.folder(sub);
            writer_.filler(QStringLiteral("%1/item-%2.bin").arg(sub).arg(slot % 50));
        }
    }

    void writeNames() {
        QFile out(root_ + u"/names.txt"_s);
        if (!out.open(QIODevice::WriteOnly))
            std::exit(1);
        out.write(names_.join(u'\n').toUtf8() + '\n');
    }

private:
    Writer& writer_;
    QString root_;
    QSet<QString> madeFolders_;
    QStringList names_;
};

void buildHome(Writer& writer, const QString& root, const Shape& shape) {
    HomeBuilder builder(writer, root);
    const QList<App> apps = inventApps(writer, shape.installed + shape.removed);
    const QString applications = builder.home() + u"/Applications"_s;
    for (int i = 0; i < shape.installed; ++i)
        writeApplication(writer, applications, apps.at(i));

    QStringList targetFolders;
    QStringList otherFolders;
    for (int i = 0; i < apps.size(); ++i) {
        const QStringList folders = builder.traces(apps.at(i), i == 0);
        (i == 0 ? targetFolders : otherFolders) += folders;
    }
    builder.systemNoise(shape.noise);
    builder.fill(targetFolders, shape.targetFiles);
    builder.fill(otherFolders, shape.leftoverFiles);
    builder.writeNames();

    // A system root with an empty Library and a few receipts, and a
    // temporary folder, so that no search leaves the generated tree.
    writer.folder(root + u"/system/Library"_s);
    writer.folder(root + u"/system/private/var/db/receipts"_s);
    writer.file(root + u"/system/private/var/db/receipts/"_s + targetIdentifier + u".pkg.bom"_s,
                QByteArray(512, 'r'));
    writer.folder(root + u"/tmp"_s);
    writer.folder(builder.home() + u"/Downloads"_s);
    writer.file(builder.home() + u"/Downloads/Northwind Studio 1.0.dmg"_s, QByteArray(8192, 'd'));
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: make-bench-home OUT [--seed N]\n");
        return 2;
    }
    const QString out = QFile::decodeName(argv[1]);
    unsigned seed = 20240501;
    if (argc >= 4 && QByteArray(argv[2]) == "--seed")
        seed = unsigned(std::strtoul(argv[3], nullptr, 10));
    if (QDir(out).exists()) {
        std::fprintf(stderr, "make-bench-home: %s exists; remove it first\n", argv[1]);
        return 1;
    }
    std::mt19937 random(seed);
    Writer writer(random);
    buildHome(writer, out + u"/large"_s, Shape{});
    buildHome(
        writer, out + u"/small"_s,
        Shape{
            .installed = 12, .removed = 30, .noise = 60, .leftoverFiles = 300, .targetFiles = 40});
    std::printf("make-bench-home: %lld files written under %s\n",
                static_cast<long long>(writer.files()), argv[1]);
    return 0;
}
