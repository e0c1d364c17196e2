#include "Logging.h"

namespace moss {

Q_LOGGING_CATEGORY(lcWindow, "mossbin.window", QtWarningMsg)
Q_LOGGING_CATEGORY(lcState, "mossbin.state", QtWarningMsg)

} // namespace moss
