#include "cli/CliCommand.h"

namespace tarvik::cli {

// One line per command; each is defined in its own Cmd*.cpp file.
extern const CliCommand kStatusCommand;
extern const CliCommand kKeysCommand;

std::span<const CliCommand* const> commandTable() {
    static const CliCommand* const table[] = {
        &kStatusCommand,
        &kKeysCommand,
    };
    return table;
}

} // namespace tarvik::cli
