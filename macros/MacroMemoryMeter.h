// How much of the keyboard's macro memory the macros being edited will take, judged the way the
// download judges it, so the editor can warn before the user applies.
#pragma once

#include "macros/MacroImage.h"

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

namespace tarvik::macros {

enum class MacroMemoryState {
    CapacityUnknown, // no keyboard has told its capacity yet
    Fits,            // the image goes with its names
    NamesDropped,    // it fits only without names: EXTRA_PROFILE_SPACE_TIGHT after the transfer
    TooLong,         // it does not fit even without names: EXTRA_MACRO_TOO_LONG, nothing is sent
};

struct MacroMemoryMeter {
    size_t used = 0;     // bytes the image will take (without names when they have to go)
    size_t capacity = 0; // the keyboard's macro capacity in bytes, 0 when unknown
    MacroMemoryState state = MacroMemoryState::CapacityUnknown;

    // used / capacity, at most 1; 0 when the capacity is unknown.
    double fraction() const;
    friend bool operator==(const MacroMemoryMeter&, const MacroMemoryMeter&) = default;
};

MacroMemoryMeter measureMacroMemory(const MacroImageSizes& sizes, size_t capacity);

// Fills the decimal conversions (%d, %i, %u) of a text from the language file with the values in order;
// "%%" gives "%". Any other conversion, and one beyond the values given, is copied as it stands: the
// file is user-editable and its text must never be handed to printf.
std::u16string fillNumbers(std::u16string_view format, std::initializer_list<size_t> values);

} // namespace tarvik::macros
