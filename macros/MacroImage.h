// The macro image: the encoding of a macro set in the keyboard's macro area. A 16-byte header (magic,
// total size, count, names flag), a table of 16-bit block offsets, then one block per macro in list order:
// action count, cycles, name length, four bytes per action and, when the names flag is set, the name.
#pragma once

#include "macros/MacroRecord.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace tarvik::macros {

inline constexpr uint16_t kMacroImageMagic = 0x55AA;
inline constexpr size_t kMacroImageHeaderSize = 16;
inline constexpr size_t kMacroBlockHeaderSize = 4;
inline constexpr size_t kEncodedActionSize = 4;
// Every offset in the image is 16 bits.
inline constexpr size_t kMaxMacroImageSize = 0xFFFF;

// Header fields.
inline constexpr size_t kImgOffMagic = 0;
inline constexpr size_t kImgOffSize = 2;
inline constexpr size_t kImgOffCount = 4;
inline constexpr size_t kImgOffNamesFlag = 6;
inline constexpr size_t kImgOffTable = 16;

// Kinds of an encoded action (bits 12-14 of its control word).
inline constexpr uint16_t kKindNone = 0;
inline constexpr uint16_t kKindKeyboard = 2;
inline constexpr uint16_t kKindConsumer = 3;
inline constexpr uint16_t kKindSystem = 4;

struct MacroImageSizes {
    size_t withNames = 0;
    size_t withoutNames = 0;
    friend bool operator==(const MacroImageSizes&, const MacroImageSizes&) = default;
};

// The four bytes the keyboard stores for one action.
std::array<uint8_t, kEncodedActionSize> encodeMacroAction(const MacroAction& action);
// The action back: delay in whole 10 ms, direction from bit 15, the key from kind and key bytes.
MacroAction decodeMacroAction(std::span<const uint8_t, kEncodedActionSize> bytes);

// The image sizes with and without names.
MacroImageSizes macroImageSizes(std::span<const MacroRecord> set);

// The image of exactly size bytes; empty when size is above 0xFFFF or does not hold the set's blocks.
std::vector<uint8_t> buildMacroImage(std::span<const MacroRecord> set, size_t size, bool withNames);

// The macro set of an image read back from the keyboard. Ids become 1, 2, ... in image order; a block
// without a name gets newPrefix followed by its number. Any bytes are accepted: the image ends at the
// smaller of its length and its header's size; offset-table entries beyond that end, and beyond 100
// macros, are not read; a block whose header lies outside the image gives a macro without actions; action
// counts and name lengths are clipped to what the image holds and to the record's limits.
MacroSet decodeMacroImage(std::span<const uint8_t> image, std::u16string_view newPrefix = u"Macro");

} // namespace tarvik::macros
