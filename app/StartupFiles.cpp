#include "app/StartupFiles.h"

#include "platform/Paths.h"
#include "platform/ProcessStart.h"

#include <system_error>

namespace tarvik::app {

std::filesystem::path autostartEntryPath() {
    return paths::configHome() / "autostart" / "AppName.desktop";
}

bool removeAutostartEntry() {
    std::error_code ec;
    std::filesystem::remove(autostartEntryPath(), ec);
    return !std::filesystem::exists(autostartEntryPath(), ec);
}

bool startCompanionDaemon(const std::filesystem::path& programFolder) {
    return startDetached(programFolder / kCompanionDaemon);
}

} // namespace tarvik::app
