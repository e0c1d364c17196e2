#pragma once

// The windowed application, reached from QML as the singleton Shell: the main
// window, the settings window, the tray item while RozudOdizuv is on, the
// menu commands and the open panel.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class QMenu;
class QQmlEngine;
class QQuickWindow;
class QSystemTrayIcon;

namespace moss {

class RozudOdizuv;
class Store;
struct UndoEntry;

class App : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString undoTitle READ undoTitle NOTIFY commandsChanged)
    Q_PROPERTY(bool canUndo READ canUndo NOTIFY commandsChanged)

public:
    App(Store& store, RozudOdizuv& watcher, QObject* parent = nullptr);
    ~App() override;

    // Runs the windowed application until it quits; returns the exit status.
    static int run(int& argc, char** argv);

    // "Отменить удаление «Name»" after a removal, else "Отменить удаление".
    static QString undoTitle(const std::optional<UndoEntry>& lastRemoval);
    QString undoTitle() const;
    bool canUndo() const;

    // The paths among command-line arguments (program first): everything but
    // options, made absolute.
    static QStringList fileArguments(const QStringList& arguments);
    // Where the open panel starts: /Applications, else the home folder.
    static QString panelStartFolder();
    // Folders the open panel chooses as one item instead of entering them.
    static bool isBundlePath(const QString& path);

    // The QML windows and the tray item; only with a QApplication.
    bool createWindows();
    void createTray();

public slots:
    void undo();
    void pickApp();
    void openSettings();
    void showMainWindow();
    void turnOffRozudOdizuv();
    void quit();
    // A Finder "open": the first path goes to the store, and the window
    // comes forward.
    void openFiles(const QStringList& paths);

signals:
    void commandsChanged();

private:
    void followSetting();

    Store& store_;
    std::unique_ptr<QQmlEngine> engine_;
    QPointer<QQuickWindow> settingsWindow_;
    std::unique_ptr<QMenu> trayMenu_;
    std::unique_ptr<QSystemTrayIcon> tray_;
};

} // namespace moss
