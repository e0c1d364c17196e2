#pragma once

// What a path that the user names (on the command line, by a drop, in the
// open panel, by opening a file onto Mossbin) stands for: a bundle folder,
// a Linux application's desktop entry or an AppImage.

#include "AppBundle.h"

#include <QString>
#include <optional>

namespace moss {

// A folder is read as a bundle (AppBundle::load); any other path as a Linux
// application (LinuxApps::load, for the running user's folders). nullopt
// when it is neither.
std::optional<AppBundle> loadApplication(const QString& path, bool readSignature = true);

} // namespace moss
