// The running program's session-bus interface as both of its sides see it, without any bus: which method
// a tarvikctl command line goes to (the client's side), which command line a method call stands for,
// and running that command on the program's own keyboard link (the program's side). Both sides run the
// very commands of tarvikctl, so a command prints the same through the program as on its own.
#pragma once

#include "cli/DeviceSession.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tarvik::cli::service {

inline constexpr std::string_view kBusName = "io.github.tarvik.Tarvik";
inline constexpr std::string_view kObjectPath = "/io/github/tarvik/Tarvik";
inline constexpr std::string_view kInterface = "io.github.tarvik.Tarvik1";

inline constexpr std::string_view kErrorInvalidArguments = "io.github.tarvik.Tarvik1.Error.InvalidArguments";
inline constexpr std::string_view kErrorNoKeyboard = "io.github.tarvik.Tarvik1.Error.NoKeyboard";
inline constexpr std::string_view kErrorFailed = "io.github.tarvik.Tarvik1.Error.Failed";

// One method: its name, the bus types of its arguments before the options dictionary, the tarvikctl
// command it runs, and whether it writes the keyboard.
struct MethodInfo {
    std::string_view member;
    std::string_view signature;
    std::string_view command;
    bool writes;
};

// clang-format off
inline constexpr MethodInfo kMethods[] = {
    {"Status",        "",    "status",      false},
    {"SwitchProfile", "i",   "profile",     true},
    {"SetReportRate", "i",   "report-rate", true},
    {"Assign",        "iss", "assign",      true},
    {"Import",        "ss",  "import",      true},
    {"Export",        "ssb", "export",      false},
    {"LightingGet",   "",    "lighting",    false},
    {"LightingSet",   "as",  "lighting",    true},
    {"Macros",        "",    "macros",      false},
    {"AppProfiles",   "as",  "app-profiles", false},
};
// Not a command: the GNOME Shell extension's and the KWin script's report of the window in front (one
// string, its app id or WM_CLASS, and no options).
inline constexpr std::string_view kReportFocus = "ReportFocus";
// clang-format on

const MethodInfo* findMethod(std::string_view member);
// The single types of a signature made of i, s, b and as: "iss" -> i, s, s; "as" -> as.
std::vector<std::string_view> argumentTypes(std::string_view signature);

using Argument = std::variant<int32_t, bool, std::string, std::vector<std::string>>;

struct Call {
    std::string member;
    std::vector<Argument> arguments; // as the method's signature lists them
    // Absolute paths the client made of the user's relative ones: (absolute, as the user wrote it), so
    // what the program says about a file names it as the user did.
    std::vector<std::pair<std::string, std::string>> paths;
};

// The method a command line (the command's name and its words, --json and --no-verify removed) goes to,
// with relative paths made absolute against workingFolder. Nullopt when the command has no method (it
// needs no keyboard, or is watch) or its words do not fit one: the command then runs on its own, which
// reports a usage error before it looks for a keyboard.
std::optional<Call> callOf(std::span<const std::string_view> words, const std::string& workingFolder);

// The command line of tarvikctl a call stands for. Nullopt with why (a usage line) when the arguments
// do not fit the method's signature or a path is not absolute.
std::optional<std::vector<std::string>>
commandLineOf(const MethodInfo& method, const std::vector<Argument>& arguments, std::string& why);

struct Outcome {
    int exitCode = 0;
    std::string output;   // standard output
    std::string messages; // standard error
};

// Runs a command line on a link that is open in this process (the road "program"). Call it on the
// thread that serves the keyboard.
Outcome runHosted(const std::vector<std::string>& commandLine, bool json, HostedLink& link);

// The bus error a failed outcome becomes, and the exit status tarvikctl gives for a bus error.
std::string_view errorNameOf(const Outcome& outcome);
int exitCodeOfError(std::string_view errorName);

// Puts back the user's own spelling of each path the client made absolute.
std::string restorePaths(std::string text, const Call& call);

} // namespace tarvik::cli::service
