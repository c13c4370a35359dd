// "Start with the desktop": the program's own autostart entry, $XDG_CONFIG_HOME/autostart/tarvik.desktop,
// which starts it hidden in the notification area ("/Start") when the user logs in. (The legacy entry
// "AppName" that every start removes is another file.)
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tarvik::app {

std::filesystem::path autostartFilePath();
// The user chose to start with the desktop: the entry is there.
bool autostartEnabled();

// How the entry names the program: plain "tarvik" when the search path finds this very program (the
// installed case, which keeps working across updates that move the program folder), else its absolute
// path, quoted as desktop entries want (a program run from a build folder).
std::string autostartCommand(const std::filesystem::path& program, std::string_view searchPath);
// The whole entry.
std::string autostartEntry(const std::filesystem::path& program, std::string_view searchPath);

// Writes the entry (whole or not at all) or removes it. True when the entry is as asked afterwards.
bool setAutostart(bool enabled, const std::filesystem::path& program, std::string_view searchPath);

} // namespace tarvik::app
