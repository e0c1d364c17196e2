#include "AppLoader.h"

#include "LinuxApps.h"
#include "platform/FileSystem.h"

namespace moss {

std::optional<AppBundle> loadApplication(const QString& path, bool readSignature) {
    if (fs::isDirectory(path))
        return AppBundle::load(path, readSignature);
    return LinuxApps::load(path, LinuxRoots::live());
}

} // namespace moss
