#include "Main.h"

#include "AppBundle.h"
#include "platform/FileSystem.h"

#include <QGuiApplication>
#include <QTextStream>

#include <cstdio>

namespace moss::Main {

Dispatch dispatch(const QStringList& args) {
    const qsizetype n = args.size();
    if (const qsizetype i = args.indexOf(QStringLiteral("--scan")); i >= 0 && i + 1 < n)
        return {Dispatch::Mode::scan, {args[i + 1]}};
    if (const qsizetype k = args.indexOf(QStringLiteral("--kill-and-undo")); k >= 0 && k + 1 < n)
        return {Dispatch::Mode::killAndUndo, {args[k + 1]}};
    if (const qsizetype k = args.indexOf(QStringLiteral("--snapshot")); k >= 0 && k + 2 < n)
        return {Dispatch::Mode::snapshot, {args[k + 1], args[k + 2]}};
    return {};
}

int scan(const QString&) { return 0; }
int killAndUndo(const QString&) { return 0; }
void snapshot(const QString&, const QString&) {}

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args.append(fs::decodePath(argv[i]));
    const Dispatch chosen = dispatch(args);
    switch (chosen.mode) {
    case Dispatch::Mode::scan:
        return scan(chosen.values[0]);
    case Dispatch::Mode::killAndUndo:
        return killAndUndo(chosen.values[0]);
    case Dispatch::Mode::snapshot:
        snapshot(chosen.values[0], chosen.values[1]);
        return 0;
    case Dispatch::Mode::window:
        break;
    }
    QGuiApplication app(argc, argv);
    return app.exec();
}

}  // namespace moss::Main
