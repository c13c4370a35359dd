// The program's two switches: "/Start" (stay in the notification area) and "/Kill" (make the running
// instance exit). Compared without regard to case; every other argument is ignored.
#pragma once

#include <span>
#include <string_view>

namespace tarvik::app {

struct CommandLine {
    bool start = false; // the main window does not open by itself
    bool kill = false;  // a running instance is told to exit, and this process ends
    bool operator==(const CommandLine&) const = default;
};

// args: the arguments after the program name.
CommandLine parseCommandLine(std::span<const std::string_view> args);

} // namespace tarvik::app
