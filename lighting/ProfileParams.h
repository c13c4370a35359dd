// The keyboard's 42-byte per-profile settings record: the lighting mode and its parameters, and in byte 15
// the USB report rate. The settings area holds the three records back to back, profile p at 42 * p.
#pragma once

#include "lighting/Colour.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tarvik::lighting {

inline constexpr size_t kParamsSize = 42;
inline constexpr int kProfileCount = 3;

// Offsets within one record.
inline constexpr size_t kParamMode = 0;
inline constexpr size_t kParamBrightness = 1;
inline constexpr size_t kParamSpeed = 2;     // device value; the speed slider shows 5 - value
inline constexpr size_t kParamDirection = 3; // 1 = left / up / outward, 0 = right / down / inward
inline constexpr size_t kParamRandom = 4;    // random-colour flag, non-zero = on
inline constexpr size_t kParamEffectColour = 5;
inline constexpr size_t kParamPreset = 8; // mode 17: 0 red, 1 yellow, 2 green, 3 blue
inline constexpr size_t kParamBaseColour = 9;
inline constexpr size_t kParamPaintColour = 12;
inline constexpr size_t kParamReportRate = 15;

inline constexpr int kLevelMax = 5; // brightness and speed run 0..5
inline constexpr int kPresetCount = 4;
inline constexpr int kReportRateMax = 3;

using ParamsBlock = std::array<uint8_t, kParamsSize>;
using ParamsBlocks = std::array<ParamsBlock, kProfileCount>;

// One record as the program reads it, values raw.
struct ProfileParams {
    uint8_t mode = 0;
    uint8_t brightness = 0;
    uint8_t speed = 0;
    uint8_t direction = 0;
    bool random = false;
    Rgb effectColour;
    uint8_t preset = 0;
    Rgb baseColour;
    Rgb paintColour;
    uint8_t reportRate = 0;
};

ProfileParams decodeParams(std::span<const uint8_t, kParamsSize> block);

// The settings-area address of a field of profile p.
constexpr uint16_t paramAddress(int profile, size_t offset) {
    return static_cast<uint16_t>(static_cast<size_t>(profile) * kParamsSize + offset);
}

// The preset the interface shows: values outside 0..3 show (and are taken as) red.
constexpr int presetShown(uint8_t raw) {
    return raw < kPresetCount ? raw : 0;
}

// Report-rate bytes above 3 are taken as 3.
constexpr int reportRateIndex(uint8_t raw) {
    return raw > kReportRateMax ? kReportRateMax : raw;
}

// What restore defaults writes at the start of the current profile's record: mode 1, brightness 5,
// speed 3, direction byte 0xFF, random on, effect colour red, preset 8, base colour white, paint colour
// red, report rate 0, then bytes the keyboard keeps for itself.
inline constexpr std::array<uint8_t, 35> kDefaultParamsBlock{
    0x01, 0x05, 0x03, 0xFF, 0x01, 0xFF, 0x00, 0x00, 0x08, 0xFF, 0xFF, 0xFF,
    0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00,
    0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00};

} // namespace tarvik::lighting
