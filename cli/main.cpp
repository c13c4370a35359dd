// tarvikctl: the keyboard's settings from the command line, over the same core as the program.
#include "cli/CliCommand.h"
#include "cli/Interruption.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

namespace {

void printUsage(std::ostream& out) {
    out << "Usage: tarvikctl [--json] [--no-verify] COMMAND [ARGS...]\n"
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
           "Environment: PORTMUX_BACKEND=sim uses the virtual keyboard instead of a real one.\n";
}

} // namespace

int main(int argc, char** argv) {
    // Before any thread starts: a signal then ends a command in order (see Interruption.h).
    tarvik::cli::interruption::install();
    std::vector<std::string_view> words;
    bool json = false;
    bool verify = true;
    bool help = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view w(argv[i]);
        if (w == "--json") {
            json = true;
        } else if (w == "--no-verify") {
            verify = false;
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
