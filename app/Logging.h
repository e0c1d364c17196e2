#pragma once

// The application's logging categories, one per area. Only warnings and
// worse are shown unless QT_LOGGING_RULES asks for more (for example
// "mossbin.window.debug=true").

#include <QLoggingCategory>

namespace moss {

// The window: QML views that fail to load.
Q_DECLARE_LOGGING_CATEGORY(lcWindow)
// The application state: misuse of the store and its sessions.
Q_DECLARE_LOGGING_CATEGORY(lcState)

} // namespace moss
