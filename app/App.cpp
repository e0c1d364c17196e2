#include "App.h"

#include "AppBundle.h"
#include "AppLogging.h"
#include "BrandLogo.h"
#include "ContentView.h"
#include "InstalledWatch.h"
#include "QmlModule.h"
#include "RozudOdizuv.h"
#include "SingleInstance.h"
#include "Store.h"
#include "Theme.h"
#include "platform/FileSystem.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QIcon>
#include <QLibraryInfo>
#include <QMenu>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QSystemTrayIcon>
#include <QTranslator>
#include <QUrl>

namespace moss {

namespace {

using namespace Qt::Literals::StringLiterals;

// The open panel. Bundles are folders here: a double click on one chooses it
// instead of entering it, and another folder is entered, not chosen. Files
// (a desktop entry, an AppImage) are chosen as they are.
class BundlePanel : public QFileDialog {
public:
    explicit BundlePanel(const QString& folder) : QFileDialog(nullptr, QString(), folder) {
        setOption(QFileDialog::DontUseNativeDialog);
        setFileMode(QFileDialog::ExistingFile);
        connect(this, &QFileDialog::directoryEntered, this, [this](const QString& entered) {
            if (App::isBundlePath(entered))
                choose(entered);
        });
    }

    const QString& chosen() const { return chosen_; }

    void accept() override {
        const QString path = selectedFiles().value(0);
        if (path.isEmpty())
            return;
        if (fs::isDirectory(path) && !App::isBundlePath(path)) {
            if (fs::standardized(path) != fs::standardized(directory().path()))
                setDirectory(path);
            return;
        }
        choose(path);
    }

private:
    void choose(const QString& path) {
        chosen_ = fs::standardized(path);
        done(QDialog::Accepted);
    }

    QString chosen_;
};

// The dark appearance for widgets (tray menu, open panel) and QML controls.
void applyDarkAppearance(QApplication& app) {
    QApplication::setStyle(u"Fusion"_s);
    QApplication::setPalette(ui::Theme::palette());
    QQuickStyle::setStyle(u"Fusion"_s);
    ui::Theme::applyFonts(app);
}

// Qt's own dialogs (the open panel) speak Russian too.
void installTranslations(QApplication& app) {
    auto* translator = new QTranslator(&app);
    if (translator->load(QLocale(QLocale::Russian), u"qtbase"_s, u"_"_s,
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(translator);
}

// The logo, else the icon theme's Trash.
QIcon trayIcon() {
    const QUrl logo(ui::brandLogo());
    const QString file = logo.scheme() == u"qrc" ? u':' + logo.path() : logo.toLocalFile();
    return file.isEmpty() ? QIcon::fromTheme(u"user-trash"_s) : QIcon(file);
}

void bringToFront(QQuickWindow* window) {
    window->show();
    window->raise();
    window->requestActivate();
}

} // namespace

App::App(Store& store, RozudOdizuv& watcher, QObject* parent) : QObject(parent), store_(store) {
    connect(&store_, &Store::lastRemovalChanged, this, &App::commandsChanged);
    connect(&store_.settings(), &Settings::rozudOdizuvChanged, this, &App::followSetting);
    connect(&store_, &Store::activationRequested, this, &App::showMainWindow);
    connect(&watcher, &RozudOdizuv::raiseMainWindowRequested, this, &App::showMainWindow);
    followSetting();
}

App::~App() = default;

QString App::undoTitle(const std::optional<UndoEntry>& lastRemoval) {
    if (!lastRemoval)
        return u"Отменить удаление"_s;
    return u"Отменить удаление «"_s + lastRemoval->name + u'»';
}

QString App::undoTitle() const {
    return undoTitle(store_.lastRemoval());
}

bool App::canUndo() const {
    return store_.canUndo();
}

QStringList App::fileArguments(const QStringList& arguments) {
    QStringList files;
    for (const QString& argument : arguments.mid(1))
        if (!argument.isEmpty() && !argument.startsWith(u'-'))
            files.append(fs::standardized(argument));
    return files;
}

QString App::panelStartFolder() {
    const QString applications = u"/Applications"_s;
    return fs::isDirectory(applications) ? applications : fs::homePath();
}

bool App::isBundlePath(const QString& path) {
    const QString extension = fs::pathExtension(path).toLower();
    return extension == u"app" || AppBundle::pluginExtensions().contains(extension);
}

void App::followSetting() {
    const bool on = store_.settings().rozudOdizuv();
    // With the watcher on, Mossbin lives on in the tray after its windows close.
    QGuiApplication::setQuitOnLastWindowClosed(!on);
    if (tray_)
        tray_->setVisible(on);
}

void App::undo() {
    if (canUndo())
        store_.undoLastRemoval();
}

void App::pickApp() {
    BundlePanel panel(panelStartFolder());
    if (panel.exec() == QDialog::Accepted && !panel.chosen().isEmpty())
        store_.open(QStringList{panel.chosen()});
}

void App::openFiles(const QStringList& paths) {
    showMainWindow();
    store_.open(paths);
}

void App::showMainWindow() {
    if (QQuickWindow* window = ui::mainWindow())
        bringToFront(window);
}

void App::openSettings() {
    if (!settingsWindow_ && engine_) {
        QQmlComponent component(engine_.get(), ui::moduleFile(u"SettingsView"_s));
        QObject* object = component.create();
        settingsWindow_ = qobject_cast<QQuickWindow*>(object);
        if (!settingsWindow_) {
            qCWarning(lcUi).noquote() << component.errorString();
            delete object;
            return;
        }
        QQmlEngine::setObjectOwnership(settingsWindow_, QQmlEngine::CppOwnership);
        settingsWindow_->QObject::setParent(engine_.get());
    }
    if (settingsWindow_)
        bringToFront(settingsWindow_);
}

void App::turnOffRozudOdizuv() {
    // The watcher follows the setting: it stops and unregisters the login item.
    store_.settings().setRozudOdizuv(false);
}

void App::quit() {
    QCoreApplication::quit();
}

bool App::createWindows() {
    engine_ = std::make_unique<QQmlEngine>();
    ui::prepareEngine(*engine_);
    ui::provide(*engine_, store_);
    ui::provide(*engine_, *this);
    QQuickWindow* window = ui::createMainWindow(*engine_);
    if (!window)
        return false;
    // The keyboard commands, alive as long as the main window.
    QQmlComponent component(engine_.get(), ui::moduleFile(u"Commands"_s));
    auto* commands = qobject_cast<QQuickItem*>(component.create());
    if (!commands) {
        qCWarning(lcUi).noquote() << component.errorString();
        return false;
    }
    commands->setParentItem(window->contentItem());
    commands->setParent(window);
    return true;
}

void App::createTray() {
    trayMenu_ = std::make_unique<QMenu>();
    connect(trayMenu_->addAction(u"Открыть Mossbin"_s), &QAction::triggered, this,
            &App::showMainWindow);
    trayMenu_->addSeparator();
    connect(trayMenu_->addAction(u"Выключить RozudOdizuv"_s), &QAction::triggered, this,
            &App::turnOffRozudOdizuv);
    QAction* quitAction = trayMenu_->addAction(u"Выйти"_s);
    quitAction->setShortcut(QKeySequence::Quit);
    connect(quitAction, &QAction::triggered, this, &App::quit);

    tray_ = std::make_unique<QSystemTrayIcon>(trayIcon());
    tray_->setToolTip(u"Mossbin"_s);
    tray_->setContextMenu(trayMenu_.get());
    followSetting();
}

int App::run(int& argc, char** argv) {
    QApplication app(argc, argv);
    setApplicationIdentity();
    QGuiApplication::setApplicationDisplayName(u"Mossbin"_s);
    QGuiApplication::setDesktopFileName(u"mossbin"_s);

    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(fs::decodePath(argv[i]));
    const QStringList files = fileArguments(arguments);
    if (SingleInstance::handOver(files))
        return 0;
    SingleInstance instance;
    instance.listen();

    applyDarkAppearance(app);
    installTranslations(app);
    Store store;
    RozudOdizuv watcher(store);
    InstalledWatch installed(store);
    App shell(store, watcher);
    connect(&instance, &SingleInstance::filesReceived, &shell, [&shell](const QStringList& paths) {
        if (paths.isEmpty())
            shell.showMainWindow();
        else
            shell.openFiles(paths);
    });
    if (!shell.createWindows())
        return 1;
    shell.createTray();
    watcher.applySetting();
    if (!files.isEmpty())
        QMetaObject::invokeMethod(
            &shell, [&shell, files] { shell.openFiles(files); }, Qt::QueuedConnection);
    return QApplication::exec();
}

} // namespace moss
