// tarvikctl: the keyboard's settings from the command line, over the same core as the program.
#include "cli/BusClient.h"
#include "cli/CliCommand.h"
#include "cli/Interruption.h"
#include "platform/TerminationSignals.h"

#include <charconv>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

void printUsage(std::ostream& out) {
    out << "Usage: tarvikctl [--json] [--no-verify] [--direct] COMMAND [ARGS...]\n"
           "       tarvikctl COMMAND --help\n\n"
           "Commands:\n";
    for (const auto* c : tarvik::cli::commandTable()) {
        out << "  " << c->usage;
        // A usage too long for the column gets its summary on the next line.
        size_t used = c->usage.size();
        if (used >= 34) {
            out << "\n  ";
            used = 0;
        }
        out << std::string(34 - used, ' ') << ' ' << c->summary << '\n';
    }
    out << "\n--no-verify: do not read back what is written to the keyboard (on by default: a byte the\n"
           "keyboard did not keep fails the command, naming the area and the offset; the setting\n"
           "VerifyWrites=0 in section PROFILES of the settings file turns it off too).\n"
           "\nTwo roads to the keyboard: while the program tarvik runs, it owns the keyboard, and every\n"
           "command that reads or writes the keyboard asks it over the session bus (name\n"
           "io.github.tarvik.Tarvik), so the program sees the change at once and never overwrites it.\n"
           "When it does not run (or there is no session bus), tarvikctl opens the keyboard itself.\n"
           "Output, --json and exit status are the same on both roads; tarvikctl status says which one it\n"
           "took. --direct: always open the keyboard itself (the running program then notices the change\n"
           "only before its next download). Through the program, --no-verify does not apply: the program\n"
           "reads back as its own settings say.\n"
           "Environment: PORTMUX_BACKEND=sim uses the virtual keyboard instead of a real one.\n";
}

volatile std::sig_atomic_t stopWatching = 0;

// tarvikctl watch through the running program, until a signal ends it (exit 0). Nullopt when the program
// does not run, or left: the watch then goes on by itself.
std::optional<int> watchThroughProgram(const std::vector<std::string_view>& words, bool json) {
    for (size_t i = 1; i < words.size(); ++i) {
        // Only --interval N (1-3600) is allowed; the command itself reports anything else. The program
        // reports every profile change itself, so the interval has nothing to do here.
        if (words[i] != "--interval" || ++i >= words.size()) {
            return std::nullopt;
        }
        unsigned seconds = 0;
        const std::string_view v = words[i];
        auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), seconds);
        if (ec != std::errc{} || end != v.data() + v.size() || seconds == 0 || seconds > 3600) {
            return std::nullopt;
        }
    }
    auto client = tarvik::cli::service::BusClient::connectToProgram();
    if (!client) {
        return std::nullopt;
    }
    tarvik::catchTerminationSignals([](int) { stopWatching = 1; });
    if (client->watch(json, std::cout, [] { return stopWatching != 0; })) {
        return 0;
    }
    return stopWatching != 0 ? std::optional<int>(0) : std::nullopt;
}

// The command through the running program; nullopt when it takes the direct road: it has no method, the
// program does not run, or it left before it took the call.
std::optional<int> throughProgram(const std::vector<std::string_view>& words, bool json) {
    namespace service = tarvik::cli::service;
    std::error_code ec;
    const std::filesystem::path here = std::filesystem::current_path(ec);
    // Without a working folder relative paths mean nothing to the program: the command opens the keyboard
    // itself and says what it finds.
    auto call = ec ? std::nullopt : service::callOf(words, here.string());
    if (!call) {
        return std::nullopt;
    }
    auto client = service::BusClient::connectToProgram();
    if (!client) {
        return std::nullopt;
    }
    const service::BusClient::Reply reply = client->call(*call, json);
    if (!reply.delivered) {
        return std::nullopt;
    }
    std::cout << service::restorePaths(reply.outcome.output, *call);
    std::cout.flush();
    std::cerr << service::restorePaths(reply.outcome.messages, *call);
    return reply.outcome.exitCode;
}

} // namespace

int main(int argc, char** argv) {
    // Before any thread starts: a signal then ends a command in order (see Interruption.h).
    tarvik::cli::interruption::install();
    std::vector<std::string_view> words;
    bool json = false;
    bool verify = true;
    bool help = false;
    bool direct = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view w(argv[i]);
        if (w == "--json") {
            json = true;
        } else if (w == "--no-verify") {
            verify = false;
        } else if (w == "--direct") {
            direct = true;
        } else if (w == "--help" || w == "-h") {
            help = true;
        } else {
            words.push_back(w);
        }
    }
    if (words.empty()) {
        printUsage(help ? std::cout : std::cerr);
        return help ? 0 : 2;
    }
    for (const auto* c : tarvik::cli::commandTable()) {
        if (c->name != words.front()) {
            continue;
        }
        if (help) {
            std::cout << "Usage: tarvikctl " << c->usage << "\n\n" << c->help << '\n';
            return 0;
        }
        if (!direct) {
            if (auto rc = words.front() == "watch" ? watchThroughProgram(words, json)
                                                   : throughProgram(words, json)) {
                return *rc;
            }
        }
        tarvik::cli::CliContext ctx{json, std::cout, std::cerr, verify};
        std::vector<std::string_view> args(words.begin() + 1, words.end());
        int rc = c->run(ctx, args);
        std::cout.flush();
        const int code = tarvik::cli::interruption::exitCode(rc);
        if (code != rc && rc == 0) {
            // The command ran to its end before it could stop; the caller still learns of the signal.
            std::cerr << "tarvikctl: " << c->name << ": interrupted by signal " << code - 128
                      << " after the command had finished\n";
        }
        return code;
    }
    std::cerr << "tarvikctl: unknown command '" << words.front() << "' (see tarvikctl --help)\n";
    return 2;
}
