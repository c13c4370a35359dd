// What the start-up does outside the program: removes the autostart entry "AppName" (the program never
// writes one) and starts the companion daemon.
#pragma once

#include <filesystem>

namespace tarvik::app {

// $XDG_CONFIG_HOME/autostart/AppName.desktop
std::filesystem::path autostartEntryPath();
// Removes it when present; true when there is none afterwards.
bool removeAutostartEntry();

// "HoxDaemon" of the program folder, when it is there; its absence is fine.
inline constexpr const char* kCompanionDaemon = "HoxDaemon";
bool startCompanionDaemon(const std::filesystem::path& programFolder);

} // namespace tarvik::app
