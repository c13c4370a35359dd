// The names a readable profile file uses for keys, media keys, functions and G keys. They are the English
// names whatever the interface language is, so a file written on one desktop reads the same on another.
// A key whose name is shared with another row (the second "Right Shift") or that has no name is written as
// its key code, "0x136".
#pragma once

#include "keyboard/KeyTable.h"
#include "keyboard/Layout.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarvik::profiles {

// Key codes a file may name: 0x001-0x07F and 0x100-0x17F (and 0 for "no key" where allowed).
constexpr bool isValidKeyCode(keyboard::KeyCode code) {
    return (code >= 0x001 && code <= 0x07F) || (code >= 0x100 && code <= 0x17F);
}

// The English name of a key, or "0x%03X" when the name does not lead back to this code.
std::string fileKeyName(keyboard::KeyCode code);
// A key name (ASCII letters without regard to case) or a code "0xNNN" in the valid ranges; with
// allowNoKey, "0x000" gives 0.
std::optional<keyboard::KeyCode> keyCodeFromFileName(std::string_view name, bool allowNoKey = false);

// Media keys by their index in the media list, functions by their index in the function list.
std::string fileMediaName(uint32_t index);
std::optional<uint32_t> mediaIndexFromFileName(std::string_view name);
std::string fileFunctionName(uint32_t index);
std::optional<uint32_t> functionIndexFromFileName(std::string_view name);

// "G1" ... "G9" for slots 256-264 and 265-273 alike; the layer is said separately.
std::string fileGKeyName(keyboard::KeySlot slot);
// The G number 1-9 of a name "G1" ... "G9", or 0.
int gKeyNumberFromFileName(std::string_view name);

// The lights a user lighting layout colours: the 104 key buttons by their key's name, then "Fn".
inline constexpr int kLitKeyCount = 105;
std::string fileLitKeyName(int lit);
// 0-103 for a key button, 104 for Fn; -1 for any other name.
int litKeyFromFileName(std::string_view name);
// The LED matrix position of lit key 0-104.
int ledOfLitKey(int lit);

} // namespace tarvik::profiles
