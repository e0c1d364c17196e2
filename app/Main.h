#pragma once

// The process entry: the three command-line modes, or the window.

#include <QString>
#include <QStringList>

namespace moss {
struct FoundFile;
}

namespace moss::Main {

// Dispatches the arguments (program path first) and returns the exit status.
int main(int argc, char** argv);

// Which mode a list of arguments selects, with its values.
struct Dispatch {
    enum class Mode { window, scan, killAndUndo, snapshot };
    Mode mode = Mode::window;
    QStringList values;
};
Dispatch dispatch(const QStringList& args);

int scan(const QString& path);
// One found file as the scan report prints it.
QString foundFileLine(const FoundFile& file);
int killAndUndo(const QString& path);
// Renders a screen of the window (needs a QGuiApplication). Prints "Снимок:
// OUT" in every case; false when no image could be written.
bool snapshot(const QString& target, const QString& out);

} // namespace moss::Main
