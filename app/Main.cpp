#include "Main.h"

#include "App.h"
#include "AppBundle.h"
#include "AppLoader.h"
#include "Catalog.h"
#include "ContentView.h"
#include "Handoff.h"
#include "Matcher.h"
#include "QmlModule.h"
#include "Remover.h"
#include "Scanner.h"
#include "Store.h"
#include "Theme.h"
#include "platform/ByteCount.h"
#include "platform/FileSystem.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QQmlEngine>
#include <QQuickView>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <numeric>
#include <unistd.h>

namespace moss::Main {

Dispatch dispatch(const QStringList& args) {
    const qsizetype n = args.size();
    if (const qsizetype i = args.indexOf(QStringLiteral("--scan")); i >= 0 && i + 1 < n)
        return {Dispatch::Mode::scan, {args[i + 1]}};
    if (const qsizetype k = args.indexOf(QStringLiteral("--kill-and-undo")); k >= 0 && k + 1 < n)
        return {Dispatch::Mode::killAndUndo, {args[k + 1]}};
    if (const qsizetype k = args.indexOf(QStringLiteral("--snapshot")); k >= 0 && k + 2 < n)
        return {Dispatch::Mode::snapshot, {args[k + 1], args[k + 2]}};
    return {};
}

namespace {

using namespace Qt::Literals::StringLiterals;

// Writes one line as raw bytes, so that names read from disk (including bytes
// that are not UTF-8) come out exactly as they are on disk.
void writeLine(std::FILE* stream, const QString& line) {
    const QByteArray bytes = fs::encodePath(line + u'\n');
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

void print(const QString& line) {
    writeLine(stdout, line);
}

// The two lines that say which bundle this is.
void printBundleHeader(const AppBundle& bundle) {
    print(bundle.displayName + u' ' + bundle.version.value_or(QString()) + u" — "_s +
          bundle.bundleIdentifier.value_or(u"без id"_s));
    print(u"team: "_s + bundle.teamIdentifier.value_or(u"-"_s) + u", вложенные id: "_s +
          bundle.nestedIdentifiers.join(u", "_s));
}

QString totalLine(const QList<FoundFile>& files) {
    const qint64 bytes =
        std::accumulate(files.begin(), files.end(), qint64(0),
                        [](qint64 sum, const FoundFile& file) { return sum + file.size; });
    return u"Итого: "_s + QString::number(files.size()) + u" файлов, "_s + formatByteCount(bytes);
}

QString yesNo(bool value) {
    return value ? u"true"_s : u"false"_s;
}

// Lets queued work (searches, list loads, animations) run on the main thread
// for the given time.
void runMainLoop(std::chrono::milliseconds duration) {
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec();
}

QList<FoundFile> chosenByDefault(const QList<FoundFile>& found) {
    QList<FoundFile> chosen;
    std::copy_if(found.begin(), found.end(), std::back_inserter(chosen),
                 [](const FoundFile& file) { return file.selectedByDefault; });
    return chosen;
}

// Runs the removal and the event loop until the removal has finished: it
// finishes through the event loop.
RemovalResult removeAndWait(const QList<FoundFile>& files) {
    QEventLoop loop;
    RemovalResult result;
    // A removal that ends without a result has moved nothing.
    deliverLater(Remover::moveToTrash(files).onCanceled([] { return RemovalResult{}; }), &loop,
                 [&](RemovalResult removal) {
                     result = std::move(removal);
                     loop.quit();
                 });
    loop.exec();
    return result;
}

bool isControlCharacter(QChar c) {
    const char16_t unit = c.unicode();
    return unit < 0x20 || (unit >= 0x7F && unit <= 0x9F);
}

bool allInPlace(const QList<FoundFile>& files) {
    return std::all_of(files.begin(), files.end(),
                       [](const FoundFile& file) { return fs::exists(file.url); });
}

// Writes the image as PNG to a path given byte-exactly (QImage::save would
// re-encode the name and lose bytes that are not UTF-8).
bool writePng(const QImage& image, const QString& out) {
    const int fd = ::open(fs::encodePath(fs::standardized(out)).constData(),
                          O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    QFile file;
    if (!file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return image.save(&file, "PNG") && file.flush();
}

} // namespace

QString reportPath(const QString& path) {
    if (std::none_of(path.cbegin(), path.cend(), isControlCharacter))
        return path;
    QString escaped;
    escaped.reserve(path.size() + 8);
    for (const QChar c : path) {
        if (c == u'\\')
            escaped += u"\\\\"_s;
        else if (isControlCharacter(c))
            escaped += u"\\x"_s + QString::number(c.unicode(), 16).rightJustified(2, u'0');
        else
            escaped += c;
    }
    return escaped;
}

QString foundFileLine(const FoundFile& file) {
    QString line = u'[' + rawValue(file.category) + u"] "_s + reportPath(file.url) + u" — "_s +
                   formatByteCount(file.size);
    if (file.needsAdmin)
        line += u" [admin]"_s;
    if (!file.selectedByDefault)
        line += u" [не отмечен]"_s;
    return line;
}

int scan(const QString& path) {
    const std::optional<AppBundle> bundle = loadApplication(fs::standardized(path), true);
    if (!bundle) {
        writeLine(stderr, u"Не бандл: "_s + reportPath(path));
        return 1;
    }
    printBundleHeader(*bundle);

    // The keys the search below uses; a Linux application's whole names
    // after them (none for a bundle).
    const Matcher matcher = Scanner::matcherFor(*bundle);
    print(u"ключи имён: "_s + (matcher.names() + matcher.exactNames()).join(u" | "_s));

    const Scanner scanner(SearchRoots::live());
    const bool linux = bundle->source != AppSource::bundle;
    const QList<FoundFile> found = scanner.relatedFiles(
        *bundle, linux ? Catalog::allApplications() : Catalog::installedApplications(), true);
    for (const FoundFile& file : found)
        print(foundFileLine(file));
    print(totalLine(found));
    return 0;
}

int killAndUndo(const QString& path) {
    const std::optional<AppBundle> bundle = loadApplication(fs::standardized(path), true);
    if (!bundle)
        return 1;
    // What a package tool removes would not come back: nothing is touched.
    const ApplicationRemoval removal = PackageRemoval::of(*bundle, LinuxRoots::live());
    if (removal.way == ApplicationRemoval::Way::tool) {
        writeLine(stderr, u"Отказ: "_s + reportPath(bundle->url) + u" удаляется через "_s +
                              removal.toolName + u" и из Корзины не вернётся"_s);
        return 3;
    }

    const Scanner scanner(SearchRoots::live());
    const QList<FoundFile> chosen = chosenByDefault(scanner.relatedFiles(*bundle, {}, true));

    return reportAndRestore(chosen, removeAndWait(chosen), print);
}

int reportAndRestore(const QList<FoundFile>& chosen, const RemovalResult& removal,
                     const std::function<void(const QString&)>& print) {
    // The maps keep former paths in plain string order, the order of the report.
    for (auto entry = removal.trashed.cbegin(); entry != removal.trashed.cend(); ++entry)
        print(u"В Корзину: "_s + reportPath(entry.key()) + u" → "_s +
              reportPath(fs::lastComponent(entry.value())) + u"; на месте: "_s +
              yesNo(fs::exists(entry.key())));
    for (auto entry = removal.failed.cbegin(); entry != removal.failed.cend(); ++entry)
        print(u"Ошибка: "_s + reportPath(entry.key()) + u" — "_s + entry.value());

    // Half-moved items are put back together too; they are failures already,
    // so the count covers the trashed items alone.
    const QStringList restored = Remover::restore(removal.trashed, removal.halfMoved);
    const auto trashedBack =
        std::count_if(restored.cbegin(), restored.cend(),
                      [&](const QString& path) { return removal.trashed.contains(path); });
    print(u"Возвращено: "_s + QString::number(trashedBack) + u" из "_s +
          QString::number(removal.trashed.size()) + u"; всё на месте: "_s +
          yesNo(allInPlace(chosen)));

    if (!removal.failed.isEmpty())
        return 2;
    return restored.size() == chosen.size() ? 0 : 2;
}

bool snapshot(const QString& target, const QString& out) {
    using namespace std::chrono_literals;
    Store store;
    if (target == u"drop")
        store.setScreen(Store::Screen::Drop);
    else if (target == u"list")
        store.setScreen(Store::Screen::List);
    else
        store.open(QStringList{fs::standardized(target)});

    QQmlEngine engine;
    ui::prepareEngine(engine);
    ui::provide(engine, store);
    QQuickView view(&engine, nullptr);
    view.setResizeMode(QQuickView::SizeRootObjectToView);
    view.setColor(ui::Theme::background());
    view.setFlags(Qt::FramelessWindowHint);
    view.setGeometry(-3000, 0, ui::idealWidth, ui::idealHeight);
    view.setSource(ui::moduleFile(QStringLiteral("ContentView")));
    view.show();

    const QDeadlineTimer deadline(30s);
    for (;;) {
        runMainLoop(500ms);
        if (deadline.hasExpired())
            break;
        if (store.session() && store.session()->isSearching())
            continue;
        if (store.isLoadingList())
            continue;
        break;
    }
    runMainLoop(1s);

    const QImage image = view.grabWindow();
    if (image.isNull())
        return false;
    const bool written = writePng(image, out);
    const QByteArray line = QStringLiteral("Снимок: ").toUtf8() + fs::encodePath(out) + '\n';
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
    std::fflush(stdout);
    return written;
}

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args.append(fs::decodePath(argv[i]));
    const Dispatch chosen = dispatch(args);
    switch (chosen.mode) {
    case Dispatch::Mode::scan:
        return scan(chosen.values[0]);
    case Dispatch::Mode::killAndUndo: {
        // The removal finishes through the event loop.
        QCoreApplication app(argc, argv);
        return killAndUndo(chosen.values[0]);
    }
    case Dispatch::Mode::snapshot: {
        // Without a display the picture is rendered offscreen.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication app(argc, argv);
        setApplicationIdentity();
        ui::Theme::applyFonts(app);
        // A picture that could not be written is a failure, not a success.
        return snapshot(chosen.values[0], chosen.values[1]) ? 0 : 2;
    }
    case Dispatch::Mode::window:
        break;
    }
    return App::run(argc, argv);
}

} // namespace moss::Main
