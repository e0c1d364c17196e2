#pragma once

// The window's QML module "Mossbin" (its views and controls, and the C++
// types they use) and how an engine is readied for it.
//
// The views reach the application's objects as singletons of the module.
// Theme and Desktop hold no state: QML makes one of each per engine. Store,
// Settings and Shell (the App) are objects that C++ owns: provide() hands the
// store and the shell to an engine before it loads any of the module's files,
// and their create() returns them (Settings are the provided store's). An
// engine given none gets null, which fails only the views that use it; a test
// gives its views its own store this way.

#include "App.h"
#include "Settings.h"
#include "Store.h"

#include <QJSEngine>
#include <QObject>
#include <QQmlEngine>
#include <QString>
#include <QUrl>
#include <QVariant>
#include <QtQml/qqmlregistration.h>

namespace moss::ui {

// Readies an engine for the module: its import path, and the image providers
// "fileicon" and "shadow". Call once per engine, before loading any of the
// module's files.
void prepareEngine(QQmlEngine& engine);

// The URL of one of the module's QML files by type name ("ContentView",
// "SettingsView", ...), for QQuickView::setSource and QQmlComponent.
QUrl moduleFile(const QString& typeName);

// Makes `object` the QML singleton of its type in `engine`. The engine never
// owns it; it must outlive the engine.
template <typename T> void provide(QQmlEngine& engine, T& object) {
    engine.setProperty(T::staticMetaObject.className(), QVariant::fromValue<QObject*>(&object));
}

// Marks an object handed to QML as owned by C++.
template <typename T> T* keptByCpp(T* object) {
    QJSEngine::setObjectOwnership(object, QJSEngine::CppOwnership);
    return object;
}

// The object provided to `engine`, else nullptr.
template <typename T> T* provided(QQmlEngine* engine) {
    QObject* object = engine->property(T::staticMetaObject.className()).template value<QObject*>();
    auto* typed = qobject_cast<T*>(object);
    return typed ? keptByCpp(typed) : nullptr;
}

// The declarations of the C++-owned singletons. They stand beside their
// types because Qt 6.4 constructs a default-constructible singleton type
// itself, ignoring its own create().

// Enumerations of the core library that the views name: BundleKind.Plugin,
// ProtectionStatus.None.
namespace BundleKindDeclaration {
Q_NAMESPACE
QML_FOREIGN_NAMESPACE(moss::BundleKinds)
QML_NAMED_ELEMENT(BundleKind)
} // namespace BundleKindDeclaration

namespace ProtectionStatusDeclaration {
Q_NAMESPACE
QML_FOREIGN_NAMESPACE(moss::ProtectionStatuses)
QML_NAMED_ELEMENT(ProtectionStatus)
} // namespace ProtectionStatusDeclaration

struct StoreSingleton {
    Q_GADGET
    QML_FOREIGN(moss::Store)
    QML_NAMED_ELEMENT(Store)
    QML_SINGLETON

public:
    static Store* create(QQmlEngine* engine, QJSEngine*) { return provided<Store>(engine); }
};

struct SettingsSingleton {
    Q_GADGET
    QML_FOREIGN(moss::Settings)
    QML_NAMED_ELEMENT(Settings)
    QML_SINGLETON

public:
    static Settings* create(QQmlEngine* engine, QJSEngine*) {
        Store* store = provided<Store>(engine);
        return store ? keptByCpp(&store->settings()) : nullptr;
    }
};

struct ShellSingleton {
    Q_GADGET
    QML_FOREIGN(moss::App)
    QML_NAMED_ELEMENT(Shell)
    QML_SINGLETON

public:
    static App* create(QQmlEngine* engine, QJSEngine*) { return provided<App>(engine); }
};

} // namespace moss::ui
