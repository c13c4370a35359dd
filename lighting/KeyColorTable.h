// The per-key colours of the three profiles: 512 bytes each, entry i (an LED matrix position) at bytes
// 3i..3i+2 as R, G, B. Only the first 144 entries (432 bytes) are ever sent, in eight chunks of 54 bytes.
// The tables start black and are filled from the user lighting files; they are never read back.
#pragma once

#include "device/Commands.h"
#include "lighting/Colour.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tarvik::lighting {

inline constexpr size_t kColourTableSize = 512;
inline constexpr int kColourEntries = 144; // positions 0..143; 126..143 belong to no key
inline constexpr size_t kUploadChunkSize = 54;
inline constexpr int kUploadChunks = 8;

class KeyColorTable {
public:
    // Entry i of profile p; black outside 0..2 / 0..143.
    Rgb entry(int profile, int position) const;
    // False (and nothing changes) outside 0..2 / 0..143.
    bool setEntry(int profile, int position, Rgb colour);
    std::span<const uint8_t, kColourTableSize> bytes(int profile) const;
    // Chunk k (0..7): the 54 bytes of positions 18k .. 18k + 17.
    std::span<const uint8_t, kUploadChunkSize> chunk(int profile, int k) const;
    void clear();

private:
    static bool valid(int profile, int position) {
        return profile >= 0 && profile < 3 && position >= 0 && position < kColourEntries;
    }
    std::array<std::array<uint8_t, kColourTableSize>, 3> tables_{};
};

// The eight chunks of profile p at keys 0, 18, ..., 126 (addresses 512p + 54k) in one frame; stops at the
// first chunk not taken. Returns 1 or the first result that was not 1 (see writeFramed).
int uploadKeyColors(device::Commands& commands, const KeyColorTable& table, int profile);
// The three bytes of one position at key i (address 512p + 3i) in one frame.
int uploadKeyColour(device::Commands& commands, const KeyColorTable& table, int profile, int position);

} // namespace tarvik::lighting
