// export and import in the readable (JSON) format: what the keyboard holds becomes a document, and a
// document goes to the keyboard through the same checks and download as a binary profile file.
#pragma once

#include "cli/CliCommand.h"

#include <string>

namespace tarvik::cli {

// Reads the keyboard (and with withLighting its lighting and the user lighting files) into path.
int exportJson(CliContext& ctx, const std::string& path, bool withLighting);

// Checks path completely before the keyboard is touched, then imports its profiles and macros as a
// binary profile file would be imported, then its lighting when it has one.
int importJson(CliContext& ctx, const std::string& path);

} // namespace tarvik::cli
