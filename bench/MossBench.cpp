// Benchmarks of the core on the homes written by tools/make-bench-home.
//
//     MOSS_BENCH_DATA=DIR mossbench [--write-inputs=OUT] [benchmark flags]
//
// DIR holds large/ and small/. --write-inputs writes, for the comparison
// commands of bench/run-benchmarks.py, the grep patterns of the target's
// matcher (patterns.txt), the folders a scan lists (folders.txt) and the
// items it admits (admitted.txt), one per line, then exits.

#include "AppBundle.h"
#include "Catalog.h"
#include "Matcher.h"
#include "Scanner.h"
#include "platform/FileSystem.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
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

int writeInputs(const QString& out) {
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
