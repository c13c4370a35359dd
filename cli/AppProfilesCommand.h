// tarvikctl app-profiles on a set of rules, wherever they live: the running program's (through its
// session-bus service) or the rules file (when the program does not run).
#pragma once

#include "appprofiles/AppRules.h"
#include "cli/CliCommand.h"

#include <span>
#include <string>
#include <string_view>

namespace tarvik::cli {

// Runs the words after "app-profiles" on rules; changed says whether they must be kept. watching is what
// list reports as the focus watcher ("X11", "off: why", "the program is not running"). Returns the exit
// status.
int runAppProfiles(CliContext& ctx, appprofiles::AppRules& rules, std::span<const std::string_view> args,
                   bool& changed, std::string_view watching);

} // namespace tarvik::cli
