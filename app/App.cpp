#include "App.h"

#include "AppBundle.h"
#include "ContentView.h"
#include "RozudOdizuv.h"
#include "SettingsView.h"
#include "Store.h"
#include "Theme.h"
#include "platform/FileSystem.h"

#include <QAction>
#include <QApplication>
#include <QDataStream>
#include <QDir>
#include <QFileDialog>
#include <QIcon>
#include <QLibraryInfo>
#include <QList>
#include <QLocalSocket>
#include <QMenu>
#include <QPalette>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QSystemTrayIcon>
#include <QTranslator>
#include <QUrl>
#include <unistd.h>

namespace moss {

namespace {

using namespace Qt::Literals::StringLiterals;

constexpr int kHandOverTimeoutMs = 3000;

// The open panel. Bundles are folders here: a double click on one chooses it
// instead of entering it, and the panel's own folder is not a choice unless
// it is a bundle itself.
class BundlePanel : public QFileDialog {
public:
    explicit BundlePanel(const QString& folder) : QFileDialog(nullptr, QString(), folder) {
        setOption(QFileDialog::DontUseNativeDialog);
        setOption(QFileDialog::ShowDirsOnly);
        setFileMode(QFileDialog::Directory);
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
        const bool isOwnFolder = fs::standardized(path) == fs::standardized(directory().path());
        if (isOwnFolder && !App::isBundlePath(path))
            return;
        choose(path);
    }

private:
    void choose(const QString& path) {
        chosen_ = fs::standardized(path);
        done(QDialog::Accepted);
    }

    QString chosen_;
};

QPalette darkPalette() {
    const QColor background(7, 7, 7), surface(16, 16, 16), raised(23, 23, 23);
    const QColor text(244, 241, 235), muted(157, 153, 145), accent(241, 38, 23);
    QPalette palette;
    palette.setColor(QPalette::Window, surface);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, background);
    palette.setColor(QPalette::AlternateBase, raised);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::PlaceholderText, muted);
    palette.setColor(QPalette::Button, raised);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, Qt::white);
    palette.setColor(QPalette::ToolTipBase, raised);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::Highlight, accent);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, accent);
    palette.setColor(QPalette::Light, QColor(60, 60, 60));
    palette.setColor(QPalette::Midlight, QColor(40, 40, 40));
    palette.setColor(QPalette::Mid, QColor(30, 30, 30));
    palette.setColor(QPalette::Dark, QColor(5, 5, 5));
    palette.setColor(QPalette::Shadow, Qt::black);
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, muted);
    return palette;
}

// The dark appearance for widgets (tray menu, open panel) and QML controls.
void applyDarkAppearance(QApplication& app) {
    QApplication::setStyle(u"Fusion"_s);
    QApplication::setPalette(darkPalette());
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

QByteArray encodePaths(const QStringList& paths) {
    QList<QByteArray> encoded;
    for (const QString& path : paths)
        encoded.append(fs::encodePath(path));
    QByteArray message;
    QDataStream stream(&message, QIODevice::WriteOnly);
    stream << encoded;
    return message;
}

void bringToFront(QQuickWindow* window) {
    window->show();
    window->raise();
    window->requestActivate();
}

} // namespace

// --- Single instance ---------------------------------------------------------

QString SingleInstance::socketPath() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.startsWith(u'/'))
        return fs::appending(fs::standardized(runtime), u"mossbin.socket"_s);
    return fs::appending(fs::tempPath(), u"mossbin-%1.socket"_s.arg(::getuid()));
}

bool SingleInstance::handOver(const QStringList& paths) {
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (!socket.waitForConnected(kHandOverTimeoutMs))
        return false;
    socket.write(encodePaths(paths));
    const bool sent = socket.waitForBytesWritten(kHandOverTimeoutMs) || socket.bytesToWrite() == 0;
    socket.disconnectFromServer();
    return sent;
}

bool SingleInstance::listen() {
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    const QString path = socketPath();
    if (!server_.listen(path)) {
        // A socket left behind by a process that ended without closing it.
        QLocalServer::removeServer(path);
        if (!server_.listen(path))
            return false;
    }
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::receive);
    return true;
}

void SingleInstance::receive() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readMessage(*socket); });
        readMessage(*socket);
    }
}

// One message is one list of paths; it may arrive in pieces.
void SingleInstance::readMessage(QLocalSocket& socket) {
    QDataStream stream(&socket);
    stream.startTransaction();
    QList<QByteArray> encoded;
    stream >> encoded;
    if (!stream.commitTransaction())
        return;
    socket.disconnect(this);
    socket.disconnectFromServer();
    QStringList paths;
    for (const QByteArray& path : encoded)
        paths.append(fs::decodePath(path));
    emit filesReceived(paths);
}

// --- Application -------------------------------------------------------------

App::App(Store& store, RozudOdizuv& watcher, QObject* parent)
    : QObject(parent), store_(store), watcher_(watcher),
      settings_(new SettingsController(store, this)) {
    connect(&store_, &Store::lastRemovalChanged, this, &App::commandsChanged);
    connect(&store_, &Store::rozudOdizuvChanged, this, &App::followSetting);
    connect(&store_, &Store::activationRequested, this, &App::showMainWindow);
    connect(&watcher_, &RozudOdizuv::raiseMainWindowRequested, this, &App::showMainWindow);
    followSetting();
}

App::~App() = default;

QString App::undoTitle(const std::optional<UndoEntry>& lastRemoval) {
    if (!lastRemoval)
        return u"Отменить удаление"_s;
    return u"Отменить удаление «"_s + lastRemoval->name + u'»';
}

bool App::canUndo(const std::optional<UndoEntry>& lastRemoval) {
    return lastRemoval && !lastRemoval->trashed.isEmpty();
}

QString App::undoTitle() const {
    return undoTitle(store_.lastRemoval());
}

bool App::canUndo() const {
    return canUndo(store_.lastRemoval());
}

bool App::isTrayVisible() const {
    return store_.rozudOdizuv();
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
    const bool on = store_.rozudOdizuv();
    // With the watcher on, Mossbin lives on in the tray after its windows close.
    QGuiApplication::setQuitOnLastWindowClosed(!on);
    if (tray_)
        tray_->setVisible(on);
    emit trayVisibleChanged();
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
            qWarning().noquote() << component.errorString();
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
    store_.setRozudOdizuv(false);
    watcher_.applySetting();
}

void App::quit() {
    QCoreApplication::quit();
}

bool App::createWindows() {
    engine_ = std::make_unique<QQmlEngine>();
    ui::prepareEngine(*engine_);
    qmlRegisterSingletonInstance("Mossbin.Shell", 1, 0, "Shell", this);
    qmlRegisterSingletonInstance("Mossbin.Shell", 1, 0, "Settings", settings_);
    QQuickWindow* window = ui::createMainWindow(*engine_, &store_);
    if (!window)
        return false;
    connect(window, SIGNAL(settingsRequested()), this, SLOT(openSettings()));
    // The keyboard commands, alive as long as the main window.
    QQmlComponent component(engine_.get(), ui::moduleFile(u"Commands"_s));
    auto* commands = qobject_cast<QQuickItem*>(component.create());
    if (!commands) {
        qWarning().noquote() << component.errorString();
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
    App shell(Store::shared(), RozudOdizuv::shared());
    connect(&instance, &SingleInstance::filesReceived, &shell, [&shell](const QStringList& paths) {
        if (paths.isEmpty())
            shell.showMainWindow();
        else
            shell.openFiles(paths);
    });
    if (!shell.createWindows())
        return 1;
    shell.createTray();
    RozudOdizuv::shared().applySetting();
    if (!files.isEmpty())
        QMetaObject::invokeMethod(
            &shell, [&shell, files] { shell.openFiles(files); }, Qt::QueuedConnection);
    return QApplication::exec();
}

} // namespace moss
