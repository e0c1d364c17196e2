#pragma once

// The main window on the C++ side: it shows the content view (ContentView.qml)
// and is found again by its objectName.

class QQmlEngine;
class QQuickWindow;

namespace moss::ui {

// The window size the content is designed for.
inline constexpr int idealWidth = 480;
inline constexpr int idealHeight = 620;

// Creates and shows the main window (MainWindow.qml, objectName "main") in an
// engine readied for the module, with its Store and Shell provided; nullptr
// when the QML fails to load. The window lives as long as the engine.
QQuickWindow* createMainWindow(QQmlEngine& engine);

// The application's first window whose objectName starts with "main".
QQuickWindow* mainWindow();

} // namespace moss::ui
