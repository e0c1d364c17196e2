#include "Logging.h"

namespace moss {

// Debug messages only when enabled; information and warnings always.
Q_LOGGING_CATEGORY(lcBundle, "mossbin.bundle", QtInfoMsg)
Q_LOGGING_CATEGORY(lcCatalog, "mossbin.catalog", QtInfoMsg)
Q_LOGGING_CATEGORY(lcScan, "mossbin.scan", QtInfoMsg)
Q_LOGGING_CATEGORY(lcTrash, "mossbin.trash", QtInfoMsg)
Q_LOGGING_CATEGORY(lcRemoval, "mossbin.removal", QtInfoMsg)

} // namespace moss
