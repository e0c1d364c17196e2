#pragma once

// The application's logging categories, one per area, declared the way the
// core declares its own (core/Logging.h) and nowhere else. Debug messages are
// off unless asked for, for example with QT_LOGGING_RULES="mossbin.*.debug=true".

#include <QLoggingCategory>

namespace moss {

// mossbin.app: the store, its sessions and the shell.
Q_DECLARE_LOGGING_CATEGORY(lcApp)
// mossbin.watcher: the Trash watcher and its login item.
Q_DECLARE_LOGGING_CATEGORY(lcWatcher)
// mossbin.ui: the QML views.
Q_DECLARE_LOGGING_CATEGORY(lcUi)

} // namespace moss
