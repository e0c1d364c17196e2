#pragma once

// The main window's content on the C++ side: one QML engine set up for the
// window's module "Mossbin", the window itself, and the main window finder.

#include <QString>
#include <QUrl>

class QObject;
class QQmlEngine;
class QQuickWindow;

namespace moss::ui {

// Readies an engine for the module: its import path, the image providers
// "fileicon" and "shadow", and the C++ singletons the views call. Call once
// per engine, before loading any of the module's files.
void prepareEngine(QQmlEngine& engine);

// The URL of one of the module's QML files by type name ("ContentView",
// "UninstallView", ...), for QQuickView::setSource and QQmlComponent.
QUrl moduleFile(const QString& typeName);

// The window size the content is designed for, and the smallest it allows.
inline constexpr int idealWidth = 480;
inline constexpr int idealHeight = 620;
inline constexpr int minimumWidth = 460;
inline constexpr int minimumHeight = 560;

// Creates and shows the main window (MainWindow.qml, objectName "main")
// showing `store`; nullptr when the QML fails to load. The window belongs to
// the engine's root objects and lives as long as the engine.
QQuickWindow* createMainWindow(QQmlEngine& engine, QObject* store);

// The image URL of the logo, found once: the application's own resource
// "Logo.png", else "Logo.png" in the folder "Mossbin_Mossbin.bundle" beside
// the executable. Empty when neither exists or decodes as an image.
QString brandLogo();

// The windowed start: a GUI application showing the main window for
// Store::shared(); returns the application's exit status.
int runMainWindow(int& argc, char** argv);

// The application's first window whose objectName starts with "main".
QQuickWindow* mainWindow();

} // namespace moss::ui
