#include "profiles/DataFolder.h"

#include "platform/Paths.h"

#include <system_error>

namespace tarvik::profiles {

std::filesystem::path ensureDataFolder(const FirstRunHook& firstRun) {
    std::filesystem::path folder = paths::dataFolder();
    std::error_code ec;
    if (std::filesystem::is_directory(folder, ec)) {
        return folder;
    }
    if (!std::filesystem::create_directories(folder, ec) || ec) {
        return std::filesystem::is_directory(folder, ec) ? folder : std::filesystem::path{};
    }
    if (firstRun) {
        firstRun(folder);
    }
    return folder;
}

std::filesystem::path cacheFilePath(int) {
    return paths::dataFolder() / "$Profile0";
}

} // namespace tarvik::profiles
