// Where the user lighting files live and how they get there: the template in the program's Skins folder is
// copied to the data folder once (files 0, 1, 2 for the profiles and 3, the pristine copy restore defaults
// goes back to).
#pragma once

#include <filesystem>
#include <functional>

namespace tarvik::lighting {

inline constexpr int kPristineUserFile = 3;

// <dataFolder>/UserDengColor_<n>.userd
std::filesystem::path userLightingFilePath(const std::filesystem::path& dataFolder, int n);
// <skinsFolder>/UserDengColor_3.userd
std::filesystem::path userLightingTemplatePath(const std::filesystem::path& skinsFolder);

enum class InstallResult {
    Installed,        // the four files were written and usermodeCheck set
    AlreadyInstalled, // usermodeCheck was "1": nothing touched
    NoDataFolder,     // the data folder does not exist: nothing written
    NoTemplate,       // the template is missing or unreadable: nothing written, installation not marked
    WriteFailed,      // a copy or the setting could not be written; not marked, so the next start retries
};

// The first-run installation: unless usermodeCheck is "1", copies the template byte for byte to files 0..3
// and sets usermodeCheck = "1". Called at start-up of the main window and when ensureDataFolder creates
// the data folder.
InstallResult installUserFiles(const std::filesystem::path& dataFolder,
                               const std::filesystem::path& skinsFolder);

// installUserFiles with a fixed Skins folder, in the form the data-folder routine takes as its first-run
// hook.
std::function<void(const std::filesystem::path& dataFolder)>
userFilesInstaller(std::filesystem::path skinsFolder);

// Copies file 3 byte for byte over file p (0..2). False, with file p untouched, when file 3 cannot be read
// or the copy cannot be written.
bool restoreUserFile(const std::filesystem::path& dataFolder, int profile);

} // namespace tarvik::lighting
