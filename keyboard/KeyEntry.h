// The keyboard's three-byte key function and the 378-byte key block of 126 of them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tarvik::keyboard {

// Byte 0 is the category: 00 00 00 no function, 02 01 m modifier bit, 02 02 u keyboard-page usage,
// 03 lo hi consumer usage, 04 lo hi system-control usage, 05 01 n macro n, 05 02 00 stop macro,
// 05 05 n function key n; any other form is a keyboard-side function without an assignable key.
using KeyEntry = std::array<uint8_t, 3>;

inline constexpr size_t kKeyEntrySize = 3;
inline constexpr size_t kKeyBlockSlots = 126;
inline constexpr size_t kKeyBlockSize = kKeyBlockSlots * kKeyEntrySize; // 378

// One profile's key entries in the keyboard's slot order (the order of the default layout).
using KeyBlock = std::array<uint8_t, kKeyBlockSize>;

} // namespace tarvik::keyboard
