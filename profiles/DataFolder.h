// The data folder "Velmora" in the user's documents folder, where profile files, the keyboard cache file
// and the user lighting files live.
#pragma once

#include <filesystem>
#include <functional>

namespace tarvik::profiles {

// Runs once, right after the data folder has been created: the first-run copy of the user lighting
// files. Given the data folder.
using FirstRunHook = std::function<void(const std::filesystem::path& dataFolder)>;

// Creates the data folder (and the documents folder above it) when missing and then runs the hook.
// Returns the folder's path; empty when it neither exists nor could be created.
std::filesystem::path ensureDataFolder(const FirstRunHook& firstRun = {});

// The keyboard cache file "$Profile0" in the data folder. Every profile number gives this one file: it
// holds all on-board profiles.
std::filesystem::path cacheFilePath(int profile = 0);

} // namespace tarvik::profiles
