#include "AppLogging.h"

namespace moss {

// Debug messages only when enabled; information and warnings always.
Q_LOGGING_CATEGORY(lcApp, "mossbin.app", QtInfoMsg)
Q_LOGGING_CATEGORY(lcWatcher, "mossbin.watcher", QtInfoMsg)
Q_LOGGING_CATEGORY(lcUi, "mossbin.ui", QtInfoMsg)

} // namespace moss
