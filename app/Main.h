#pragma once

// The process entry: the three command-line modes, or the window.

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace moss {
struct FoundFile;
struct RemovalResult;
} // namespace moss

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

// A path as the reports print it, so that one item is always one line: as it
// is, unless it holds a control character (U+0000 to U+001F, U+007F to
// U+009F); then each control character is written as \x and two lower-case
// hexadecimal digits of its code (a line feed as \x0a, U+0085 as \x85) and
// each backslash as \\. Nothing else changes (bytes that are not UTF-8
// stay as they are).
QString reportPath(const QString& path);

int scan(const QString& path);
// One found file as the scan report prints it.
QString foundFileLine(const FoundFile& file);
int killAndUndo(const QString& path);
// The part of --kill-and-undo after the removal: the Trash and failure lines,
// the restore of every trashed and half-moved item, and the summary, each
// line handed to `print`. Returns the exit status.
int reportAndRestore(const QList<FoundFile>& chosen, const RemovalResult& removal,
                     const std::function<void(const QString&)>& print);
// Renders a screen of the window (needs a QGuiApplication). Prints "Снимок:
// OUT" in every case; false when no image could be written.
bool snapshot(const QString& target, const QString& out);

} // namespace moss::Main
