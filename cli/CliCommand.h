// One subcommand of tarvikctl. Each command lives in its own Cmd*.cpp file and is listed once in
// CommandTable.cpp.
#pragma once

#include <ostream>
#include <span>
#include <string_view>

namespace tarvik::cli {

struct CliContext {
    bool json = false; // --json: machine-readable output on stdout
    std::ostream& out; // results
    std::ostream& err; // one-line errors
    // Read back what is written to the keyboard (--no-verify, or VerifyWrites=0 in the settings, turns it
    // off).
    bool verify = true;
    // How the command reaches the keyboard: "direct" (this process opens it) or "program" (the running
    // program does it for a client of its session-bus service). tarvikctl status prints it.
    std::string_view road = "direct";
};

struct CliCommand {
    std::string_view name;    // first word on the command line, e.g. "status"
    std::string_view usage;   // e.g. "status [--json]"
    std::string_view summary; // one line for the command list
    std::string_view help;    // the text of "tarvikctl COMMAND --help"
    // args are the words after the command name with --json and --no-verify removed. Returns the exit
    // status.
    int (*run)(CliContext& ctx, std::span<const std::string_view> args);
};

// All commands, in the order "tarvikctl --help" lists them.
std::span<const CliCommand* const> commandTable();

} // namespace tarvik::cli
