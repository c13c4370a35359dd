// A colour as the keyboard and the files carry it: three bytes R, G, B. The colour buttons and the rest of
// the program's windows hand colours around as 32-bit values 0x00BBGGRR (red in the low byte), with -1
// standing for a button's automatic colour.
#pragma once

#include <cstdint>

namespace tarvik::lighting {

struct Rgb {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;

    friend constexpr bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr int32_t kAutomaticColour = -1;

constexpr uint32_t toColorRef(Rgb c) {
    return uint32_t{c.r} | (uint32_t{c.g} << 8) | (uint32_t{c.b} << 16);
}

constexpr Rgb fromColorRef(uint32_t v) {
    return Rgb{static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16)};
}

// What a colour button reports: a 0x00BBGGRR value, or -1 when no colour was chosen, in which case the
// button's automatic colour applies.
constexpr Rgb resolveButtonColour(int32_t chosen, Rgb automatic) {
    return chosen == kAutomaticColour ? automatic : fromColorRef(static_cast<uint32_t>(chosen));
}

// Each channel scaled by an intensity 0..255 (channel * i / 255).
constexpr Rgb scaled(Rgb c, uint8_t intensity) {
    auto s = [intensity](uint8_t v) { return static_cast<uint8_t>(unsigned{v} * intensity / 255u); };
    return Rgb{s(c.r), s(c.g), s(c.b)};
}

} // namespace tarvik::lighting
