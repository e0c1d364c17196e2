#pragma once

// The core's logging categories, one per area, declared here and nowhere
// else. Debug messages are off unless asked for, for example with
//
//     QT_LOGGING_RULES="mossbin.*.debug=true" mossbin --scan Foo.app
//
// They say what the core passes over without a word in its results: a
// folder that exists but cannot be listed, a property list it refuses, a
// tool it stops at the time limit. The window's areas (mossbin.app,
// mossbin.watcher, mossbin.ui) are declared the same way beside it.

#include <QLoggingCategory>

namespace moss {

// mossbin.bundle: reading bundles, their Info property lists and signatures.
Q_DECLARE_LOGGING_CATEGORY(lcBundle)
// mossbin.catalog: the lists of installed applications, plug-ins and widgets.
Q_DECLARE_LOGGING_CATEGORY(lcCatalog)
// mossbin.scan: the leftover search, its launch jobs, installers and sizes.
Q_DECLARE_LOGGING_CATEGORY(lcScan)
// mossbin.trash: moving items to the Trash and back.
Q_DECLARE_LOGGING_CATEGORY(lcTrash)
// mossbin.removal: stopping launch agents, removal and undo.
Q_DECLARE_LOGGING_CATEGORY(lcRemoval)

} // namespace moss
