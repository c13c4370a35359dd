// The differences between two profile files, in words: one entry per key, G key, colour-keys flag, macro
// and lighting part that differs, each with what changed ("profile 1, key Caps Lock: none → key Ctrl";
// "macro 'Build' (id 2): 12 actions → 14 actions, cycles 1 → 3"). Two documents have no differences
// exactly when they are equal.
#pragma once

#include "profiles/ProfileModel.h"

#include <string>
#include <vector>

namespace tarvik::profiles::diff {

struct Change {
    std::string field; // empty when the difference has one change of the whole thing
    std::string from;
    std::string to;
};

struct Difference {
    std::string where; // "profile 1, key Caps Lock"
    std::string path;  // where it sits in the readable file, "$.profiles[1].keys[\"Caps Lock\"]"
    std::vector<Change> changes;

    // "where: field from → to, field from → to"
    std::string line() const;
};

// In file order: profiles (keys, G keys, G-key tags, colour keys), macros, lighting.
std::vector<Difference> compare(const model::Document& a, const model::Document& b);

// How an assignment reads in a difference: "default", "none", "key Ctrl", "macro 'Build' (id 2, cycles 3)",
// "media Volume Up", "function Copy", "launch \"/usr/bin/x\"", "text \"...\"", "stop macro"; stored
// words follow in brackets.
std::string describe(const model::Assignment& a, const model::Document& doc);

} // namespace tarvik::profiles::diff
