// The on-screen keyboard: the 104 key buttons, the nine G buttons and the Fn button, the slot of each
// button's assignment record, its place in the keyboard's 6 x 21 LED matrix and its skin name.
#pragma once

#include "keyboard/DefaultLayout.h"
#include "keyboard/KeyTable.h"

#include <cstdint>
#include <span>
#include <string>

namespace tarvik::keyboard {

// The index of a key's assignment record within one profile: the KeyIndex of an ordinary key (1-255),
// 256-264 for G1-G9 of G-key layer 0, 265-273 for layer 1. Slots 274-511 carry no key.
using KeySlot = uint16_t;
// Stored in a G key's record: 0x0301-0x0309 (layer 0), 0x1301-0x1309 (layer 1); 0 for ordinary keys.
using GKeyTag = uint16_t;

inline constexpr size_t kSlotsPerProfile = 512;
inline constexpr size_t kProfileCount = 4;
inline constexpr KeySlot kFirstGSlotLayer0 = 256;
inline constexpr KeySlot kFirstGSlotLayer1 = 265;
inline constexpr size_t kGKeyCount = 9;

inline constexpr size_t kKeyButtonCount = 104;
inline constexpr size_t kLedPositionCount = 126; // 6 rows x 21 columns
inline constexpr int kLedColumns = 21;
inline constexpr int kGKeyLedPosition = 125; // all nine G keys share it
inline constexpr int kFnLedPosition = 110;
inline constexpr int kFnButtonId = 1174;
inline constexpr int kG9ButtonId = 1143;
inline constexpr int kMacroEditButtonId = 1007; // the main window's macro-edit button acts as G9

struct KeyButton {
    uint16_t controlId;
    KeyCode key;
    uint8_t ledPosition; // row x 21 + column
};

struct GButton {
    uint16_t controlId;
    KeySlot slotLayer0;
    KeySlot slotLayer1;
};

// The key buttons in their fixed order (position 0-103, the order of every loop over them).
std::span<const KeyButton, kKeyButtonCount> KeyButtons();
// G1-G9 in order.
std::span<const GButton, kGKeyCount> GButtons();

// The position 0-103 of a key button, or -1.
int KeyButtonPosition(int controlId);
// 1-9 for a G button, or 0.
int GButtonNumber(int controlId);
// The slot of a key button or of a G button in the given G-key layer (0 or 1), or -1.
int SlotOfButton(int controlId, int gKeyLayer);
// The G-key tag of a slot; 0 outside 256-273.
GKeyTag GKeyTagOfSlot(KeySlot slot);
// The LED matrix position of a key button, 125 for a G button, 110 for Fn, 0 for any other id.
int LedPositionOfButton(int controlId);
// "KEY_%03X" with the key's KeyIndex, or "FUNC_G%d"; empty for any other id.
std::string SkinNameOfButton(int controlId);

// The record (within the current profile) whose flag word holds a button's colour-keys flag: record p
// for key button position p; record n - 1 (layer 0) or n + 8 (layer 1) for G button n; -1 otherwise.
int ColourKeyFlagRecord(int controlId, int gKeyLayer);

} // namespace tarvik::keyboard
