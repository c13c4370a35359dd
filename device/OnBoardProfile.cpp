#include "device/OnBoardProfile.h"

#include <array>

namespace tarvik::device {

int currentOnBoardProfile(Commands& commands, AppLinkState& state) {
    int cached = state.currentProfile.load();
    if (cached >= 0) {
        return cached;
    }
    std::array<uint8_t, kConfigSize> config{};
    if (commands.readConfig(config) != kOk || config[kConfigCurrentProfile] >= kProfileCount) {
        return -1;
    }
    int p = config[kConfigCurrentProfile];
    state.currentProfile.store(p);
    return p;
}

int selectOnBoardProfile(Commands& commands, AppLinkState& state, int p) {
    if (p < 0) {
        return kOk;
    }
    if (p >= static_cast<int>(kProfileCount)) {
        return kBadBlock;
    }
    Commands::Frame held = commands.frame();
    if (!held) {
        state.currentProfile.store(-1);
        return held.result();
    }
    std::array<uint8_t, kConfigSize> config{};
    int rc = commands.readConfig(config);
    if (rc == kOk) {
        config[kConfigCurrentProfile] = static_cast<uint8_t>(p);
        rc = commands.writeConfig(config);
    }
    state.currentProfile.store(rc == kOk ? p : -1);
    return rc;
}

int writeReportRate(Commands& commands, int p, int r) {
    if (p < 0 || p >= static_cast<int>(kProfileCount) || r < 0 || r >= kReportRateCount) {
        return kBadBlock;
    }
    const uint8_t rate[] = {static_cast<uint8_t>(r)};
    const auto address = static_cast<uint16_t>(p * kSettingsRecordSize + kSettingsReportRate);
    return commands.writeSequence([&] { return commands.writeSettings(rate, address); }).result;
}

int refreshMacroCapacity(Commands& commands, AppLinkState& state) {
    std::array<uint8_t, kConfigSize> config{};
    int rc = commands.readConfig(config);
    if (rc == kOk) {
        state.macroCapacity.store(uint32_t{config[kConfigMacroUnits]} * kMacroUnit);
    }
    return rc;
}

} // namespace tarvik::device
