// The macro set as the key assignment model sees it: positions for play-macro key entries and names for
// the assignment summary.
#pragma once

#include "keyboard/MacroLookup.h"
#include "macros/MacroRecord.h"

#include <span>

namespace tarvik::macros {

class MacroSetLookup final : public keyboard::MacroLookup {
public:
    // The list must outlive the lookup and stay unchanged while it is used.
    explicit MacroSetLookup(std::span<const MacroRecord> list) : list_(list) {}

    int macroPosition(uint32_t id) const override;
    std::u16string macroName(uint32_t id) const override;

private:
    std::span<const MacroRecord> list_;
};

} // namespace tarvik::macros
