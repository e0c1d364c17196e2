#pragma once

// Why an item of an uninstall session's list is there, in the sheet's words.

#include "FoundFile.h"

#include <QString>

namespace moss {

// What the item matched: "Совпадает с идентификатором com.acme.Sketcher".
QString matchText(const FoundReason& reason);
// Why the item is unticked by default, "не отмечено: …"; empty when it is
// ticked by default.
QString doubtText(const FoundReason& reason);

} // namespace moss
