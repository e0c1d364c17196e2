#pragma once

// The brand logo that the header, the drop zone, the alerts and the tray
// item show.

#include <QString>

namespace moss::ui {

// The image URL of the logo, found once: the application's own resource
// "Logo.png", else "Logo.png" in the folder "Mossbin_Mossbin.bundle" beside
// the executable. Empty when neither exists or decodes as an image.
QString brandLogo();

} // namespace moss::ui
