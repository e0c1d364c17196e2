// Benchmarks of the core on the homes written by tools/make-bench-home.
//
//     MOSS_BENCH_DATA=DIR mossbench [--write-inputs=OUT] [benchmark flags]
//
// DIR holds large/ and small/; the Linux desktop and home are written below
// DIR/linux on first use. --write-inputs writes, for the comparison commands
// of bench/run-benchmarks.py, the grep patterns of the target's matcher
// (patterns.txt), the folders a scan lists (folders.txt), the items it
// admits (admitted.txt) and the folders the Linux search lists
// (linux-folders.txt), one per line, then exits.

#include "AppBundle.h"
#include "Catalog.h"
#include "LinuxApps.h"
#include "Matcher.h"
#include "RemovedApps.h"
#include "Scanner.h"
#include "platform/DebianPackages.h"
#include "platform/FileSystem.h"

#include <QCoreApplication>
#include <QFile>
#include <QSet>
#include <QStringList>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <random>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace moss;
using namespace Qt::StringLiterals;

namespace {

QString dataRoot() {
    static const QString root = qEnvironmentVariable("MOSS_BENCH_DATA");
    return root;
}

QString large(const QString& relative) {
    return dataRoot() + u"/large/"_s + relative;
}

const QString targetApp = QStringLiteral("home/Applications/Northwind Studio.app");

// The data a benchmark needs, read once.
struct Fixture {
    AppBundle target;
    QList<AppBundle> competitors;
    QStringList names;

    static const Fixture& shared() {
        static const Fixture fixture = load();
        return fixture;
    }

private:
    static Fixture load() {
        Fixture fixture;
        fixture.target = AppBundle::load(large(targetApp), false).value();
        fixture.competitors =
            Catalog::scan({large(QStringLiteral("home/Applications"))}, BundleKind::Application);
        QFile names(large(QStringLiteral("names.txt")));
        if (names.open(QIODevice::ReadOnly))
            fixture.names = QString::fromUtf8(names.readAll()).split(u'\n', Qt::SkipEmptyParts);
        return fixture;
    }
};

Scanner largeScanner(bool measureSizes) {
    Scanner scanner(SearchRoots{large(QStringLiteral("home")),
                                {large(QStringLiteral("system"))},
                                {large(QStringLiteral("tmp"))}});
    scanner.measureSizes = measureSizes;
    return scanner;
}

void judgeNames(benchmark::State& state) {
    const Fixture& fixture = Fixture::shared();
    const Matcher matcher(fixture.target);
    qint64 matched = 0;
    for (auto _ : state) {
        matched = 0;
        for (const QString& name : fixture.names)
            matched += matcher.strength(name, true).has_value();
        benchmark::DoNotOptimize(matched);
    }
    state.counters["matched"] = double(matched);
    state.SetItemsProcessed(state.iterations() * fixture.names.size());
}
BENCHMARK(judgeNames)->Unit(benchmark::kMillisecond);

void relatedFiles(benchmark::State& state) {
    const Fixture& fixture = Fixture::shared();
    const Scanner scanner = largeScanner(state.range(0) != 0);
    qsizetype found = 0;
    for (auto _ : state)
        found = scanner.relatedFiles(fixture.target, fixture.competitors, false).size();
    state.counters["found"] = double(found);
    state.counters["competitors"] = double(fixture.competitors.size());
}
BENCHMARK(relatedFiles)
    ->ArgName("sizes")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The search as a session runs it, installers and sizes included, told item
// by item, on the large or the small home: the time to its first leftover
// (counter firstItemMs) and to its end (the benchmark's time). Competitors
// are read before, as a session finds them cached.
void liveSearch(benchmark::State& state, const char* home) {
    const QString root = dataRoot() + u'/' + QString::fromLatin1(home) + u'/';
    const AppBundle target = AppBundle::load(root + targetApp, false).value();
    const QList<AppBundle> competitors =
        Catalog::scan({root + u"home/Applications"_s}, BundleKind::Application);
    const Scanner scanner(SearchRoots{root + u"home"_s, {root + u"system"_s}, {root + u"tmp"_s}});
    double firstItemMs = 0;
    qsizetype found = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        std::optional<std::chrono::steady_clock::time_point> first;
        ScanObserver observer;
        observer.admitted = [&](const FoundFile& item) {
            if (!first && item.category != FileCategory::bundle)
                first = std::chrono::steady_clock::now();
        };
        found = scanner.relatedFiles(target, competitors, true, observer).size();
        const auto firstAt = first.value_or(std::chrono::steady_clock::now());
        firstItemMs += std::chrono::duration<double, std::milli>(firstAt - start).count();
    }
    state.counters["firstItemMs"] =
        benchmark::Counter(firstItemMs, benchmark::Counter::kAvgIterations);
    state.counters["found"] = double(found);
    state.counters["competitors"] = double(competitors.size());
}
BENCHMARK_CAPTURE(liveSearch, large, "large")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(liveSearch, small, "small")->Unit(benchmark::kMillisecond)->UseRealTime();

// The size pass of a scan on its own: the admitted items of the target,
// measured on both cores.
void sizeAdmitted(benchmark::State& state) {
    const Fixture& fixture = Fixture::shared();
    const QList<FoundFile> admitted =
        largeScanner(false).relatedFiles(fixture.target, fixture.competitors, false);
    qint64 bytes = 0;
    for (auto _ : state) {
        QList<FoundFile> files = admitted;
        Scanner::fillSizes(files);
        bytes = 0;
        for (const FoundFile& file : std::as_const(files))
            bytes += file.size;
    }
    state.counters["bytes"] = double(bytes);
    state.counters["items"] = double(admitted.size());
}
BENCHMARK(sizeAdmitted)->Unit(benchmark::kMillisecond)->UseRealTime();

void allocatedSize(benchmark::State& state) {
    const QString folder = large(QStringLiteral("home/Library"));
    qint64 size = 0;
    for (auto _ : state)
        size = Scanner::allocatedSize(folder);
    state.counters["bytes"] = double(size);
}
BENCHMARK(allocatedSize)->Unit(benchmark::kMillisecond)->UseRealTime();

void catalogSections(benchmark::State& state) {
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(large(QStringLiteral("home"))));
    qsizetype bundles = 0;
    for (auto _ : state) {
        bundles = 0;
        for (const CatalogSection& section : Catalog::sections(BundleKind::Application))
            bundles += section.bundles.size();
    }
    qputenv("HOME", home);
    state.counters["bundles"] = double(bundles);
}
BENCHMARK(catalogSections)->Unit(benchmark::kMillisecond);

// A Linux desktop with 2,000 applications, written once below the data
// folder: 1,600 entries of Debian packages (each its own package, among 3,000
// installed ones, as on a full desktop), 250 Flatpaks, 100 Snaps and 50 of
// the user's own (one of them Lanternfish, the Linux search's target); every
// entry carries 30 translations of its texts.
struct LinuxDesktop {
    QString root = dataRoot() + u"/linux"_s;
    LinuxRoots roots;
    QStringList debianEntries;

    static const LinuxDesktop& shared() {
        static const LinuxDesktop desktop;
        return desktop;
    }

    // The 50th of the user's own entries: the application the Linux search
    // looks for.
    QString targetEntry() const {
        return roots.dataHome + u"/applications/org.lanternfish.Reader.desktop"_s;
    }

private:
    LinuxDesktop() {
        roots.home = root + u"/home"_s;
        roots.configHome = roots.home + u"/.config"_s;
        roots.dataHome = roots.home + u"/.local/share"_s;
        roots.stateHome = roots.home + u"/.local/state"_s;
        roots.cacheHome = roots.home + u"/.cache"_s;
        roots.dataDirs = {root + u"/usr/share"_s};
        roots.executablePath = {root + u"/usr/bin"_s};
        roots.dpkgDatabase = root + u"/dpkg"_s;
        roots.flatpakSystem = root + u"/flatpak"_s;
        roots.snapDesktop = root + u"/snapd/desktop"_s;
        roots.snapMounts = root + u"/snap"_s;
        const bool written = fs::exists(roots.dpkgDatabase + u"/status"_s);
        QByteArray status;
        for (int i = 0; i < 3000; ++i) {
            const QByteArray package = "package" + QByteArray::number(i);
            QByteArray list = "/.\n/usr\n/usr/share\n/usr/share/doc/" + package + "\n";
            for (int file = 0; file < 40; ++file)
                list += "/usr/lib/" + package + "/file" + QByteArray::number(file) + "\n";
            if (i < 1600) {
                const QString entry = root + u"/usr/share/applications/"_s +
                                      QString::fromLatin1(package) + u".desktop"_s;
                debianEntries.append(entry);
                list += fs::encodePath(entry) + "\n";
                if (!written)
                    write(entry, entryText("Package " + QByteArray::number(i), package));
            }
            status += "Package: " + package + "\nStatus: install ok installed\nVersion: 1." +
                      QByteArray::number(i) + "-1\nDescription: x\n\n";
            if (!written)
                write(roots.dpkgDatabase + u"/info/"_s + QString::fromLatin1(package) + u".list"_s,
                      list);
        }
        if (written)
            return;
        for (int i = 0; i < 250; ++i) {
            const QByteArray id = "org.example.Flat" + QByteArray::number(i);
            write(roots.flatpakUser() + u"/exports/share/applications/"_s +
                      QString::fromLatin1(id) + u".desktop"_s,
                  entryText("Flat " + QByteArray::number(i), "/usr/bin/flatpak run " + id) +
                      "X-Flatpak=" + id + "\n");
        }
        for (int i = 0; i < 100; ++i) {
            const QByteArray name = "snap" + QByteArray::number(i);
            write(roots.snapDesktop + u"/applications/"_s + QString::fromLatin1(name) + u"_"_s +
                      QString::fromLatin1(name) + u".desktop"_s,
                  entryText("Snap " + QByteArray::number(i), "/snap/bin/" + name) +
                      "X-SnapInstanceName=" + name + "\n");
        }
        for (int i = 0; i < 49; ++i)
            write(roots.dataHome + u"/applications/local"_s + QString::number(i) + u".desktop"_s,
                  entryText("Local " + QByteArray::number(i), "local" + QByteArray::number(i)));
        write(targetEntry(), entryText("Lanternfish", "lanternfish"));
        write(roots.dpkgDatabase + u"/status"_s, status);
    }

public:
    static QByteArray entryText(const QByteArray& name, const QByteArray& exec) {
        QByteArray text = "[Desktop Entry]\nType=Application\nName=" + name + "\n";
        for (const char* locale :
             {"ar", "be", "bg", "ca", "cs",    "da", "de", "el", "es", "et",
              "eu", "fi", "fr", "gl", "he",    "hu", "id", "it", "ja", "ko",
              "lt", "nl", "pl", "pt", "pt_BR", "ru", "sk", "sv", "uk", "zh_CN"})
            text += "Name[" + QByteArray(locale) + "]=" + name + " " + locale + "\nComment[" +
                    locale + "]=Does things with files, in " + locale + "\n";
        return text + "Comment=Does things\nExec=" + exec +
               " %U\nIcon=app\nTerminal=false\nCategories=Utility;\n"
               "MimeType=text/plain;image/png;\nKeywords=one;two;three;\n";
    }

    static void write(const QString& path, const QByteArray& data) {
        fs::makePath(fs::parentPath(path));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
            std::abort();
    }
};

// The catalogue of Linux applications (2,000 desktop entries), with the
// file system's caches warm.
void linuxCatalogue(benchmark::State& state) {
    const LinuxDesktop& desktop = LinuxDesktop::shared();
    qsizetype apps = 0;
    for (auto _ : state)
        apps = LinuxApps::catalogue(desktop.roots).size();
    state.counters["apps"] = double(apps);
}
BENCHMARK(linuxCatalogue)->Unit(benchmark::kMillisecond)->UseRealTime();

// What the section of removed applications adds to a load of that catalogue:
// dpkg's status read, the memory of its 1,600 Debian-package applications
// read and compared (written on the first run only), and the Flatpak and
// Snap folders looked at.
void removedApplications(benchmark::State& state) {
    const LinuxDesktop& desktop = LinuxDesktop::shared();
    const QList<AppBundle> catalogue = LinuxApps::catalogue(desktop.roots);
    qsizetype apps = 0;
    for (auto _ : state)
        apps = RemovedApps::applications(catalogue, desktop.roots).size();
    state.counters["removed"] = double(apps);
}
BENCHMARK(removedApplications)->Unit(benchmark::kMillisecond)->UseRealTime();

// The home of that desktop with 50,000 entries in its XDG folders: 12,500
// each directly in ~/.config, ~/.local/share, ~/.local/state and ~/.cache
// (folders holding one file, and files), named as applications name them
// (words, reverse-DNS identifiers, dot-files, "rc" files), 200 autostart
// entries and 200 user units, which the search reads; among them
// Lanternfish's own files in every folder and names that only begin like its
// own. Written once, seeded.
struct LinuxHome {
    static constexpr int perFolder = 12'500;
    AppBundle target;
    QList<AppBundle> competitors;

    static const LinuxHome& shared() {
        static const LinuxHome home;
        return home;
    }

private:
    LinuxHome() {
        const LinuxDesktop& desktop = LinuxDesktop::shared();
        const LinuxRoots& roots = desktop.roots;
        const QString marker = desktop.root + u"/home-written"_s;
        if (!fs::exists(marker))
            writeHome(roots, marker);
        target = LinuxApps::load(desktop.targetEntry(), roots).value();
        competitors = LinuxApps::installed(roots);
    }

    static void writeHome(const LinuxRoots& roots, const QString& marker) {
        std::mt19937 random(20261207);
        static const char* const syllables[] = {
            "al", "ba", "cor", "da",  "el", "fen", "gal", "ho", "is", "jun", "ka", "lo", "mar",
            "nu", "or", "pel", "qui", "ra", "sol", "ta",  "ul", "ve", "wyn", "xa", "yo", "zer"};
        const auto word = [&random]() -> QByteArray {
            QByteArray text;
            const int count = 2 + int(random() % 2);
            for (int i = 0; i < count; ++i)
                text += syllables[random() % std::size(syllables)];
            return text;
        };
        const auto capitalised = [](QByteArray text) -> QByteArray {
            text[0] = char(text[0] - 'a' + 'A');
            return text;
        };
        const auto name = [&]() -> QByteArray {
            switch (random() % 8) {
            case 0:
                return "org." + word() + "." + capitalised(word());
            case 1:
                return "com." + word() + "." + word();
            case 2:
                return capitalised(word()) + " " + capitalised(word());
            case 3:
                return word() + "-" + word();
            case 4:
                return word() + ".conf";
            case 5:
                return word() + "rc";
            case 6:
                return capitalised(word());
            default:
                return word();
            }
        };
        for (const QString& base :
             {roots.configHome, roots.dataHome, roots.stateHome, roots.cacheHome}) {
            QSet<QByteArray> taken;
            while (taken.size() < perFolder) {
                const QByteArray entry = name();
                if (taken.contains(entry))
                    continue;
                taken.insert(entry);
                const QString path = base + u'/' + QString::fromUtf8(entry);
                if (random() % 2 == 0)
                    LinuxDesktop::write(path + u"/state"_s, "x\n");
                else
                    LinuxDesktop::write(path, "key=value\n");
            }
        }
        for (int i = 0; i < 200; ++i) {
            const QByteArray program = word();
            LinuxDesktop::write(roots.configHome + u"/autostart/"_s + QString::fromUtf8(program) +
                                    QString::number(i) + u".desktop"_s,
                                "[Desktop Entry]\nType=Application\nName=" + program +
                                    "\nExec=/usr/bin/" + program + " --background\n");
            LinuxDesktop::write(roots.configHome + u"/systemd/user/"_s +
                                    QString::fromUtf8(program) + QString::number(i) + u".service"_s,
                                "[Unit]\nDescription=" + program +
                                    "\n\n[Service]\nExecStart=/usr/bin/" + program +
                                    " --daemon\n\n[Install]\nWantedBy=default.target\n");
        }
        // Lanternfish's own, and names that only begin like its.
        for (const QString& own : {roots.configHome + u"/lanternfish/settings.ini"_s,
                                   roots.dataHome + u"/org.lanternfish.Reader/library.db"_s,
                                   roots.stateHome + u"/lanternfish/history"_s,
                                   roots.cacheHome + u"/lanternfish/pages"_s,
                                   roots.configHome + u"/lanternfishing/notes"_s,
                                   roots.cacheHome + u"/org.lanternfish.ReaderKit/index"_s})
            LinuxDesktop::write(own, "x\n");
        LinuxDesktop::write(roots.configHome + u"/autostart/reader-tray.desktop"_s,
                            "[Desktop Entry]\nType=Application\nName=Tray\n"
                            "Exec=lanternfish --tray\n");
        LinuxDesktop::write(roots.configHome + u"/systemd/user/lanternfish-index.service"_s,
                            "[Service]\nExecStart=/usr/bin/lanternfish --index\n");
        LinuxDesktop::write(marker, "written\n");
    }
};

// The leftover search of Lanternfish in that home against the 2,000
// installed applications, with sizes and without.
void linuxSearch(benchmark::State& state) {
    const LinuxHome& home = LinuxHome::shared();
    const LinuxRoots& roots = LinuxDesktop::shared().roots;
    Scanner scanner(SearchRoots{roots.home, {}, {}}, roots);
    scanner.measureSizes = state.range(0) != 0;
    qsizetype found = 0;
    for (auto _ : state)
        found = scanner.relatedFiles(home.target, home.competitors, false).size();
    state.counters["found"] = double(found);
    state.counters["competitors"] = double(home.competitors.size());
}
BENCHMARK(linuxSearch)
    ->ArgName("sizes")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The owners of the 1,600 Debian entries among 3,000 installed packages.
void debianOwners(benchmark::State& state) {
    const LinuxDesktop& desktop = LinuxDesktop::shared();
    qsizetype owned = 0;
    for (auto _ : state)
        owned = dpkg::owners(desktop.debianEntries, desktop.roots.dpkgDatabase).size();
    state.counters["owned"] = double(owned);
}
BENCHMARK(debianOwners)->Unit(benchmark::kMillisecond)->UseRealTime();

// mossbin --scan on the small home, as a whole process.
void scanProcess(benchmark::State& state) {
    const QString small = dataRoot() + u"/small/"_s;
    const QByteArray app = QFile::encodeName(small + targetApp);
    const QByteArray environment[] = {
        "HOME=" + QFile::encodeName(small + u"home"_s),
        "TMPDIR=" + QFile::encodeName(small + u"tmp"_s),
        "XDG_CACHE_HOME=" + QFile::encodeName(small + u"home/.cache"_s),
        "XDG_CONFIG_HOME=" + QFile::encodeName(small + u"home/.config"_s),
        "XDG_DATA_HOME=" + QFile::encodeName(small + u"home/.local/share"_s),
        "QT_QPA_PLATFORM=offscreen",
        "PATH=/usr/bin:/bin",
    };
    char* envp[std::size(environment) + 1] = {};
    for (size_t i = 0; i < std::size(environment); ++i)
        envp[i] = const_cast<char*>(environment[i].constData());
    char* argv[] = {const_cast<char*>(MOSSBIN_EXECUTABLE), const_cast<char*>("--scan"),
                    const_cast<char*>(app.constData()), nullptr};
    if (::access(argv[0], X_OK) != 0) {
        state.SkipWithError("mossbin is not built");
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    for (auto _ : state) {
        pid_t pid = 0;
        int status = 0;
        if (posix_spawn(&pid, argv[0], &actions, nullptr, argv, envp) != 0 ||
            waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("mossbin --scan failed");
            break;
        }
    }
    posix_spawn_file_actions_destroy(&actions);
}
BENCHMARK(scanProcess)->Unit(benchmark::kMillisecond)->UseRealTime();

// An extended regular expression (for grep -E) matching text literally.
QString literalEre(const QString& text) {
    static const QString special = QStringLiteral(R"(\.^$|?*+()[]{})");
    QString pattern;
    for (const QChar c : text) {
        if (special.contains(c))
            pattern += u'\\';
        pattern += c;
    }
    return pattern;
}

// The matcher's key patterns in grep -E -i form: an identifier or name key,
// then what may follow it.
QStringList grepPatterns(const Matcher& matcher) {
    QStringList patterns;
    for (const QString& identifier : matcher.identifiers())
        patterns << u'^' + literalEre(identifier) + u"([._ -].*|[0-9].*|beta.*)?$"_s;
    for (const QString& name : matcher.names())
        patterns << u'^' + literalEre(name) + u"([._ 0-9-].*)?$"_s;
    return patterns;
}

bool writeLines(const QString& path, const QStringList& lines) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(lines.join(u'\n').toUtf8() + '\n') > 0;
}

// The folders the Linux search lists that exist, installers left out.
QStringList linuxFolders() {
    LinuxHome::shared();
    const LinuxRoots& roots = LinuxDesktop::shared().roots;
    QStringList folders;
    for (const LinuxLocation& location : LinuxLocations::table()) {
        if (location.rule == LinuxLocation::Rule::installers)
            continue;
        for (const QString& folder : LinuxLocations::folders(location, roots))
            if (fs::isDirectory(folder) && !folders.contains(folder))
                folders << folder;
    }
    return folders;
}

int writeInputs(const QString& out) {
    if (!writeLines(out + u"/linux-folders.txt"_s, linuxFolders()))
        return 1;
    if (!fs::isDirectory(large(QStringLiteral("home"))))
        return 0; // the Linux inputs alone, for a run of the Linux benchmarks only
    const Fixture& fixture = Fixture::shared();
    QStringList folders;
    for (const Location& location : Scanner::libraryLocations()) {
        folders << large(u"home/Library/"_s + location.path);
        if (!location.userOnly)
            folders << large(u"system/Library/"_s + location.path);
    }
    folders << large(QStringLiteral("system/private/var/db/receipts"))
            << large(QStringLiteral("tmp"));
    QStringList admitted;
    for (const FoundFile& file :
         largeScanner(false).relatedFiles(fixture.target, fixture.competitors, false))
        admitted << file.url;
    const bool written =
        writeLines(out + u"/patterns.txt"_s, grepPatterns(Matcher(fixture.target))) &&
        writeLines(out + u"/folders.txt"_s, folders) &&
        writeLines(out + u"/admitted.txt"_s, admitted);
    return written ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    if (dataRoot().isEmpty()) {
        std::fprintf(stderr, "mossbench: set MOSS_BENCH_DATA to the output of make-bench-home\n");
        return 2;
    }
    const QString inputsFlag = QStringLiteral("--write-inputs=");
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (argument.startsWith(inputsFlag))
            return writeInputs(argument.mid(inputsFlag.size()));
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
