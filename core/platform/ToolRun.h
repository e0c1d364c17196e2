#pragma once

// Runs the package systems' command-line tools (flatpak, snap): found on a
// search path, given an argument vector (never a shell), stopped after a
// time limit. What a tool prints is kept to be shown, never interpreted:
// success is its exit status alone.

#include <QString>
#include <QStringList>
#include <chrono>

namespace moss::tools {

struct ToolRun {
    enum class Outcome {
        succeeded, // exited with status 0
        missing,   // not found on the search path
        failed,    // could not start, crashed, or exited with another status
        timedOut,  // still running at the limit; it was stopped
    };
    Outcome outcome = Outcome::failed;
    int exitCode = -1; // when it exited on its own
    // What it printed on standard output and error together, the last
    // outputLimit bytes decoded as UTF-8, trimmed.
    QString output;

    bool ok() const { return outcome == Outcome::succeeded; }
};

inline constexpr qsizetype outputLimit = 4096;

// Runs `program arguments...` and waits for it, at most `limit`; standard
// input is empty. `program` is looked for in `searchPath` ($PATH when
// empty) unless it is an absolute path. A tool still running at the limit
// is asked to end (SIGTERM), then killed a second later. Blocks: call it
// off the main thread.
ToolRun run(const QString& program, const QStringList& arguments, std::chrono::milliseconds limit,
            const QStringList& searchPath = {});

// "flatpak вышел с кодом 1: error: …", "snap не найден", … for the window.
QString describe(const QString& program, const ToolRun& run);

} // namespace moss::tools
