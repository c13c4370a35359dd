// Fuzzes the reader of the automatic profiles' rules file. Besides not crashing: every rule it keeps is
// one the rules can hold, no application is there twice, and what is written reads back as the same
// rules without a problem.
#include "appprofiles/AppRules.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

void check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tarvik::appprofiles;
    const ParsedRules parsed = parseRules(std::string_view(reinterpret_cast<const char*>(data), size));
    const auto& rules = parsed.rules.rules;
    for (size_t i = 0; i < rules.size(); ++i) {
        check(validAppName(rules[i].app) && rules[i].profile >= 0 && rules[i].profile < kProfileCount);
        for (size_t j = 0; j < i; ++j) {
            check(!sameApp(rules[i].app, rules[j].app));
        }
    }
    const ParsedRules again = parseRules(formatRules(parsed.rules));
    check(again.problems.empty() && again.rules == parsed.rules);
    return 0;
}
