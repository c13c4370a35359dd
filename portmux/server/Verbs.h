// The command line of `portmux-sim`: `serve` runs the daemon (main.cpp); every other verb is a short
// control client of its socket that drives the keyboard from outside any program.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace portmux::sim {

// What `portmux-sim --help` prints.
extern const char* const kUsage;

// Runs one control verb (args without the program name, global options included). 0 on success; 1 with
// one line "portmux-sim: ..." on err otherwise.
int runVerb(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// A number as the verbs take it: decimal, or hexadecimal with 0x; false when it is not one or lies
// outside min..max.
bool parseNumber(const std::string& text, long long min, long long max, long long& value);

} // namespace portmux::sim
