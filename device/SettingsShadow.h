// What this process last read from or had the keyboard commit to its settings area, byte by byte: every
// settings read and write of the process passes through device::Commands, which keeps this, so a later
// read can tell another program's writes from the process's own.
#pragma once

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

namespace tarvik::device {

// Three profiles' settings records of 42 bytes.
inline constexpr size_t kSettingsAreaSize = 3 * 42;

class SettingsShadow {
public:
    // Bytes read from the keyboard at address (those beyond the area are ignored).
    void read(uint16_t address, std::span<const uint8_t> bytes);
    // Bytes the keyboard took into its open frame; they count once it commits the frame.
    void staged(uint16_t address, std::span<const uint8_t> bytes);
    void frameBegun() { pending_.clear(); }
    void frameCommitted();

    // True when a byte known here reads otherwise in area; unknown bytes count as unchanged.
    bool differsFrom(std::span<const uint8_t, kSettingsAreaSize> area) const;

private:
    void learn(uint16_t address, std::span<const uint8_t> bytes);

    std::array<uint8_t, kSettingsAreaSize> bytes_{};
    std::bitset<kSettingsAreaSize> known_;
    std::vector<std::pair<uint16_t, std::vector<uint8_t>>> pending_;
};

} // namespace tarvik::device
