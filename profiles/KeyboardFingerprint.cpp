#include "profiles/KeyboardFingerprint.h"

#include <algorithm>

namespace tarvik::profiles {

uint64_t digest(std::span<const uint8_t> bytes) {
    uint64_t h = 0xcbf29ce484222325ULL;
    for (uint8_t b : bytes) {
        h ^= b;
        h *= 0x100000001b3ULL;
    }
    return h;
}

bool KeyboardFingerprint::known() const {
    return macroArea_.has_value() ||
           std::any_of(keyBlocks_.begin(), keyBlocks_.end(), [](const auto& d) { return d.has_value(); });
}

void KeyboardFingerprint::recordRead(const KeyboardAreas& areas, size_t macroCapacity) {
    for (unsigned p = 0; p < device::kProfileCount; ++p) {
        recordKeyBlock(p, areas.keyBlocks[p]);
    }
    recordMacroImage(areas.macroImage, macroCapacity);
}

void KeyboardFingerprint::recordKeyBlock(unsigned profile, std::span<const uint8_t> block) {
    if (profile < device::kProfileCount) {
        keyBlocks_[profile] = digest(block);
    }
}

void KeyboardFingerprint::recordMacroImage(std::span<const uint8_t> image, size_t macroCapacity) {
    macroArea_ = digest(image);
    macroImageSize_ = image.size();
    macroCapacity_ = macroCapacity;
}

bool KeyboardFingerprint::changedIn(const KeyboardAreas& areas, size_t macroCapacity) const {
    for (unsigned p = 0; p < device::kProfileCount; ++p) {
        if (keyBlocks_[p] && *keyBlocks_[p] != digest(areas.keyBlocks[p])) {
            return true;
        }
    }
    return macroArea_ && macroCapacity == macroCapacity_ && *macroArea_ != digest(areas.macroImage);
}

} // namespace tarvik::profiles
