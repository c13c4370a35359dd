#include "device/SettingsShadow.h"

namespace tarvik::device {

void SettingsShadow::learn(uint16_t address, std::span<const uint8_t> bytes) {
    for (size_t i = 0; i < bytes.size() && address + i < kSettingsAreaSize; ++i) {
        bytes_[address + i] = bytes[i];
        known_.set(address + i);
    }
}

void SettingsShadow::read(uint16_t address, std::span<const uint8_t> bytes) {
    learn(address, bytes);
}

void SettingsShadow::staged(uint16_t address, std::span<const uint8_t> bytes) {
    pending_.emplace_back(address, std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

void SettingsShadow::frameCommitted() {
    for (const auto& [address, bytes] : pending_) {
        learn(address, bytes);
    }
    pending_.clear();
}

bool SettingsShadow::differsFrom(std::span<const uint8_t, kSettingsAreaSize> area) const {
    for (size_t i = 0; i < kSettingsAreaSize; ++i) {
        if (known_.test(i) && bytes_[i] != area[i]) {
            return true;
        }
    }
    return false;
}

} // namespace tarvik::device
