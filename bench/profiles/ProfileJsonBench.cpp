// Reading the readable profile file: the largest document the format allows, against documents built to
// be expensive to refuse (one object of 100,000 members, 1.1 MB, at the top or where keys name the
// members; one array of 2,000,000 numbers; a text
// over the size limit). Goal: refusing any of them costs no more than reading the largest real document,
// so a hostile file is never slower than a real one.
//
// Usage: profile_json_bench [rounds]
#include "bench/profiles/LargestStore.h"
#include "profiles/ProfileJson.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace tarvik;
using namespace tarvik::profiles;
using Clock = std::chrono::steady_clock;

namespace {

struct Timing {
    double ms = 0;
    bool read = false;
    model::Problem problem;
};

Timing medianRead(int rounds, const std::string& text) {
    std::vector<double> t;
    Timing out;
    for (int i = 0; i < rounds; ++i) {
        model::Document doc;
        model::Problem problem;
        const auto start = Clock::now();
        out.read = json::readDocument(text, doc, problem);
        t.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        out.problem = problem;
    }
    std::sort(t.begin(), t.end());
    out.ms = t[t.size() / 2];
    return out;
}

std::string members(size_t n) {
    std::string text = "{\"format\": \"tarvik-profile\", \"version\": 1";
    for (size_t i = 0; i < n; ++i) {
        text += ", \"m" + std::to_string(i) + "\": 0";
    }
    return text + "}";
}

std::string keyMembers(size_t n) {
    std::string text =
        "{\"format\": \"tarvik-profile\", \"version\": 1, \"profiles\": [{\"keys\": {\"k0\": 0";
    for (size_t i = 1; i < n; ++i) {
        text += ", \"k" + std::to_string(i) + "\": 0";
    }
    return text + "}}, {}, {}, {}]}";
}

std::string bigArray(size_t n) {
    std::string text = "{\"format\": \"tarvik-profile\", \"version\": 1, \"macros\": [0";
    for (size_t i = 1; i < n; ++i) {
        text += ",0";
    }
    return text + "]}";
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    AssignmentStore store;
    fillLargest(store);
    model::Document doc;
    model::Problem problem;
    {
        auto lock = store.lockKeyData();
        for (macros::MacroRecord& m : store.working().macros()) {
            m.setIsNew(0); // saved, as an exported store's macros are
        }
        if (!model::documentFromStore(store.working(), doc, problem)) {
            std::fprintf(stderr, "cannot build the largest document: %s: %s\n", problem.path.c_str(),
                         problem.message.c_str());
            return 1;
        }
    }
    const std::string largest = json::writeDocument(doc);
    const Timing real = medianRead(rounds, largest);
    if (!real.read) {
        std::fprintf(stderr, "the largest document is refused: %s: %s\n", real.problem.path.c_str(),
                     real.problem.message.c_str());
        return 1;
    }
    std::printf("largest document: %zu bytes (limit %zu, %.0f%% of it), read in %.1f ms (median of %d)\n",
                largest.size(), json::kMaxDocumentBytes, 100.0 * largest.size() / json::kMaxDocumentBytes,
                real.ms, rounds);

    struct Case {
        const char* name;
        std::string text;
    };
    const Case cases[] = {{"100,000 members in one object", members(100000)},
                          {"100,000 members in a key-named object", keyMembers(100000)},
                          {"2,000,000 elements in one array", bigArray(2000000)},
                          {"a text one byte over the limit", std::string(json::kMaxDocumentBytes + 1, ' ')}};
    bool met = true;
    for (const Case& c : cases) {
        const Timing t = medianRead(rounds, c.text);
        const double ratio = t.ms / real.ms;
        met = met && ratio <= 1.0;
        std::printf("%s (%zu bytes): %s in %.1f ms, %.3f of the largest read   goal <= 1.000   %s\n", c.name,
                    c.text.size(), t.read ? "READ" : "refused", t.ms, ratio,
                    ratio <= 1.0 ? "met" : "NOT met");
        if (!t.read) {
            std::printf("    %s: %s\n", t.problem.path.c_str(), t.problem.message.c_str());
        }
    }
    return met ? 0 : 2;
}
