#include "lighting/UserFiles.h"

#include "lighting/LightingSettings.h"
#include "platform/AtomicFile.h"

#include <string>
#include <system_error>

namespace tarvik::lighting {

std::filesystem::path userLightingFilePath(const std::filesystem::path& dataFolder, int n) {
    return dataFolder / ("UserDengColor_" + std::to_string(n) + ".userd");
}

std::filesystem::path userLightingTemplatePath(const std::filesystem::path& skinsFolder) {
    return skinsFolder / ("UserDengColor_" + std::to_string(kPristineUserFile) + ".userd");
}

InstallResult installUserFiles(const std::filesystem::path& dataFolder,
                               const std::filesystem::path& skinsFolder) {
    LightingSettings settings(dataFolder);
    if (settings.userFilesInstalled()) {
        return InstallResult::AlreadyInstalled;
    }
    std::error_code ec;
    if (!std::filesystem::is_directory(dataFolder, ec)) {
        return InstallResult::NoDataFolder;
    }
    // Without a template nothing is marked as installed, so that the files arrive once the program folder
    // is complete again instead of never.
    auto bytes = readWholeFile(userLightingTemplatePath(skinsFolder), 16u * 1024u * 1024u);
    if (!bytes) {
        return InstallResult::NoTemplate;
    }
    for (int n = 0; n <= kPristineUserFile; ++n) {
        if (!writeFileAtomically(userLightingFilePath(dataFolder, n), *bytes)) {
            return InstallResult::WriteFailed;
        }
    }
    return settings.markUserFilesInstalled() ? InstallResult::Installed : InstallResult::WriteFailed;
}

std::function<void(const std::filesystem::path&)> userFilesInstaller(std::filesystem::path skinsFolder) {
    return [skins = std::move(skinsFolder)](const std::filesystem::path& dataFolder) {
        (void)installUserFiles(dataFolder, skins);
    };
}

bool restoreUserFile(const std::filesystem::path& dataFolder, int profile) {
    if (profile < 0 || profile >= kPristineUserFile) {
        return false;
    }
    auto bytes = readWholeFile(userLightingFilePath(dataFolder, kPristineUserFile), 16u * 1024u * 1024u);
    if (!bytes) {
        return false;
    }
    return writeFileAtomically(userLightingFilePath(dataFolder, profile), *bytes);
}

} // namespace tarvik::lighting
