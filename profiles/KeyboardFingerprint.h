// What the program last saw on the keyboard: a digest of each area it reads and writes (the three key
// blocks and the macro image), so that before it writes again it can tell, with one read of each area,
// whether another program wrote to the keyboard in between.
#pragma once

#include "device/Commands.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tarvik::profiles {

using KeyBlockBytes = std::array<uint8_t, device::kKeyBlockSize>;

// The keyboard's areas as read: the key blocks of the on-board profiles, the macro image as long as its
// header says (empty when the area holds no image), and the settings records of the three profiles.
struct KeyboardAreas {
    std::array<KeyBlockBytes, device::kProfileCount> keyBlocks{};
    std::vector<uint8_t> macroImage;
    std::array<uint8_t, device::kSettingsAreaSize> settings{};
};

// 64-bit FNV-1a.
uint64_t digest(std::span<const uint8_t> bytes);

class KeyboardFingerprint {
public:
    // Nothing known: no area was read or written since the keyboard arrived.
    bool known() const;
    void forget() { *this = KeyboardFingerprint{}; }

    // Every area as read. macroCapacity: the keyboard's macro capacity at the time, which bounds how much
    // of the macro area an image may take.
    void recordRead(const KeyboardAreas& areas, size_t macroCapacity);
    void recordKeyBlock(unsigned profile, std::span<const uint8_t> block);
    void recordMacroImage(std::span<const uint8_t> image, size_t macroCapacity);

    // True when an area this fingerprint knows reads otherwise in areas. An area it does not know
    // counts as unchanged: nothing is known to be lost there; so does the macro area of a keyboard whose
    // macro capacity is not the one it was seen with (another keyboard, read again on its arrival).
    bool changedIn(const KeyboardAreas& areas, size_t macroCapacity) const;

    // How many bytes of the macro area to read to see the whole of the last image at once.
    size_t macroImageSize() const { return macroImageSize_; }

private:
    std::array<std::optional<uint64_t>, device::kProfileCount> keyBlocks_{};
    std::optional<uint64_t> macroArea_;
    size_t macroImageSize_ = 0;
    size_t macroCapacity_ = 0;
};

} // namespace tarvik::profiles
