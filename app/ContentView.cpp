#include "ContentView.h"

#include "Desktop.h"
#include "Store.h"
#include "Theme.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QImageReader>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QtQml>

namespace moss::ui {

namespace {

// Without a desktop session (offscreen, a bare X server) no icon theme is
// set; the freedesktop default theme then gives the file-type icons.
void chooseIconTheme() {
    if (!QIcon::themeName().isEmpty() && QIcon::themeName() != u"hicolor")
        return;
    for (const QString& path : QIcon::themeSearchPaths()) {
        if (QFileInfo::exists(path + QStringLiteral("/Adwaita/index.theme"))) {
            QIcon::setThemeName(QStringLiteral("Adwaita"));
            return;
        }
    }
}

} // namespace

void prepareEngine(QQmlEngine& engine) {
    chooseIconTheme();
    engine.addImportPath(QStringLiteral("qrc:/"));
    engine.addImageProvider(QStringLiteral("fileicon"), new FileIconProvider);
    engine.addImageProvider(QStringLiteral("shadow"), new ShadowImageProvider);
    static const bool registered = [] {
        qmlRegisterSingletonType<Desktop>(
            "Mossbin.Native", 1, 0, "Desktop",
            [](QQmlEngine*, QJSEngine*) -> QObject* { return new Desktop; });
        return true;
    }();
    Q_UNUSED(registered);
}

QUrl moduleFile(const QString& typeName) {
    return QUrl(QStringLiteral("qrc:/Mossbin/%1.qml").arg(typeName));
}

QQuickWindow* createMainWindow(QQmlEngine& engine, QObject* store) {
    QQmlComponent component(&engine, moduleFile(QStringLiteral("MainWindow")));
    QObject* object = component.createWithInitialProperties(
        {{QStringLiteral("store"), QVariant::fromValue(store)}});
    auto* window = qobject_cast<QQuickWindow*>(object);
    if (!window) {
        qWarning().noquote() << component.errorString();
        delete object;
        return nullptr;
    }
    QQmlEngine::setObjectOwnership(window, QQmlEngine::CppOwnership);
    window->QObject::setParent(&engine);
    window->show();
    return window;
}

namespace {

bool decodes(const QString& file) {
    return QImageReader(file).canRead();
}

QString findBrandLogo() {
    const QString resource = QStringLiteral(":/Mossbin/Logo.png");
    if (QFile::exists(resource))
        return decodes(resource) ? QStringLiteral("qrc") + resource : QString();
    const QString dir = QCoreApplication::applicationDirPath();
    if (dir.isEmpty())
        return {};
    const QString beside = dir + QStringLiteral("/Mossbin_Mossbin.bundle/Logo.png");
    if (QFile::exists(beside) && decodes(beside))
        return QUrl::fromLocalFile(beside).toString();
    return {};
}

} // namespace

QString brandLogo() {
    static const QString logo = findBrandLogo();
    return logo;
}

int runMainWindow(int& argc, char** argv) {
    QGuiApplication app(argc, argv);
    setApplicationIdentity();
    Theme::applyFonts(app);
    QQmlEngine engine;
    prepareEngine(engine);
    if (!createMainWindow(engine, &Store::shared()))
        return 1;
    return app.exec();
}

QQuickWindow* mainWindow() {
    for (QWindow* window : QGuiApplication::topLevelWindows()) {
        if (window->objectName().startsWith(QStringLiteral("main")))
            if (auto* quick = qobject_cast<QQuickWindow*>(window))
                return quick;
    }
    return nullptr;
}

} // namespace moss::ui
