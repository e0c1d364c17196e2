#pragma once

// The windowed application: the main window, the settings window, the tray
// item while RozudOdizuv is on, the menu commands and the open panel, and the
// hand-over of files to the instance that is already running.

#include <QLocalServer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class QLocalSocket;
class QMenu;
class QQmlEngine;
class QQuickWindow;
class QSystemTrayIcon;

namespace moss {

class RozudOdizuv;
class SettingsController;
class Store;
struct UndoEntry;

// One windowed Mossbin per user: the first one listens on a local socket in
// the user's runtime folder, and later starts hand their files to it.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // $XDG_RUNTIME_DIR/mossbin.socket, else mossbin-UID.socket in the
    // temporary folder.
    static QString socketPath();
    // Sends the paths to the running instance; true when one took them.
    static bool handOver(const QStringList& paths);
    // Becomes the running instance; false when the socket cannot be made.
    bool listen();

signals:
    // Another start asked to open these paths (possibly none) and come forward.
    void filesReceived(const QStringList& paths);

private:
    void receive();
    void readMessage(QLocalSocket& socket);

    QLocalServer server_;
};

class App : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString undoTitle READ undoTitle NOTIFY commandsChanged)
    Q_PROPERTY(bool canUndo READ canUndo NOTIFY commandsChanged)
    Q_PROPERTY(bool trayVisible READ isTrayVisible NOTIFY trayVisibleChanged)

public:
    App(Store& store, RozudOdizuv& watcher, QObject* parent = nullptr);
    ~App() override;

    // Runs the windowed application until it quits; returns the exit status.
    static int run(int& argc, char** argv);

    static QString undoTitle(const std::optional<UndoEntry>& lastRemoval);
    static bool canUndo(const std::optional<UndoEntry>& lastRemoval);
    QString undoTitle() const;
    bool canUndo() const;
    // The tray item is shown exactly while RozudOdizuv is on.
    bool isTrayVisible() const;

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
    void trayVisibleChanged();

private:
    void followSetting();

    Store& store_;
    RozudOdizuv& watcher_;
    SettingsController* settings_;
    std::unique_ptr<QQmlEngine> engine_;
    QPointer<QQuickWindow> settingsWindow_;
    std::unique_ptr<QMenu> trayMenu_;
    std::unique_ptr<QSystemTrayIcon> tray_;
};

} // namespace moss
