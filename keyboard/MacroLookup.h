// What the key assignment model needs to know about the current macro list: where a macro stands in it
// (a play-macro key entry carries the position) and its name (for the assignment summary). The macro
// set implements it.
#pragma once

#include <cstdint>
#include <string>

namespace tarvik::keyboard {

class MacroLookup {
public:
    virtual ~MacroLookup() = default;
    // The 0-based list position of the first macro whose id equals id; -1 when none has it.
    virtual int macroPosition(uint32_t id) const = 0;
    // The name of the first macro whose id equals id; empty when none has it.
    virtual std::u16string macroName(uint32_t id) const = 0;
};

// An empty macro list.
class NoMacros final : public MacroLookup {
public:
    int macroPosition(uint32_t) const override { return -1; }
    std::u16string macroName(uint32_t) const override { return {}; }
};

} // namespace tarvik::keyboard
