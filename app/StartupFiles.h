// What the start-up does outside the program: removes the autostart entry "AppName" (the program never
// writes one), starts the companion daemon, and starts other programs detached.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tarvik::app {

// $XDG_CONFIG_HOME/autostart/AppName.desktop
std::filesystem::path autostartEntryPath();
// Removes it when present; true when there is none afterwards.
bool removeAutostartEntry();

// Starts an executable file with an argument vector, never through a shell, in a session of its own with
// its standard streams on /dev/null; it is not a child of this process and outlives it. False when the
// file is not an executable or could not be started.
bool startDetached(const std::filesystem::path& program, const std::vector<std::string>& args = {});

// "HoxDaemon" of the program folder, when it is there; its absence is fine.
inline constexpr const char* kCompanionDaemon = "HoxDaemon";
bool startCompanionDaemon(const std::filesystem::path& programFolder);

} // namespace tarvik::app
