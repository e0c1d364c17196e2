#include "ContentView.h"

#include "AppLogging.h"
#include "QmlModule.h"

#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickWindow>

namespace moss::ui {

QQuickWindow* createMainWindow(QQmlEngine& engine) {
    QQmlComponent component(&engine, moduleFile(QStringLiteral("MainWindow")));
    QObject* object = component.create();
    auto* window = qobject_cast<QQuickWindow*>(object);
    if (!window) {
        qCWarning(lcUi).noquote() << component.errorString();
        delete object;
        return nullptr;
    }
    QQmlEngine::setObjectOwnership(window, QQmlEngine::CppOwnership);
    window->QObject::setParent(&engine);
    window->show();
    return window;
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
