#include "app/CommandLine.h"

namespace tarvik::app {

namespace {

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

} // namespace

CommandLine parseCommandLine(std::span<const std::string_view> args) {
    CommandLine c;
    for (std::string_view a : args) {
        if (sameIgnoringCase(a, "/Kill")) {
            c.kill = true;
        } else if (sameIgnoringCase(a, "/Start")) {
            c.start = true;
        }
    }
    return c;
}

} // namespace tarvik::app
