// The buttons that carry a light, indexed the way the per-key colour state keeps its flags: the 104 key
// buttons in their fixed order, then G1..G9, then Fn.
#pragma once

#include <cstddef>

namespace tarvik::lighting {

inline constexpr int kKeyButtonCount = 104;
inline constexpr int kGButtonCount = 9;
inline constexpr int kFirstGButton = kKeyButtonCount;
inline constexpr int kFnButton = kFirstGButton + kGButtonCount;
inline constexpr int kLitButtonCount = kFnButton + 1;

inline constexpr int kGLedPosition = 125;
inline constexpr int kFnLedPosition = 110;

// The LED matrix position of a button index (a key button's layout position, 125 for every G button,
// 110 for Fn), or -1 for an index outside 0..113.
int ledOfButton(int button);

// The button index of a control id: a key button, a G button or the Fn button; -1 for any other id.
int buttonOfControl(int controlId);

} // namespace tarvik::lighting
